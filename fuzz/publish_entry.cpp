// Fuzz entries for what publishing to MQTT reads: the broker's URL (a
// prefix taken is one a broker delivers, and the URL written again reads back
// the same) and the credentials file.
#include "entries.h"

#include "publish/settings.h"

#include <QUrl>
#include <QUtf8StringView>

#include <algorithm>

namespace dxu::fuzz {

int runMqttUrlInput(const uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    publish::Settings s;
    if (!publish::parseUrl(text, s).isEmpty()) {
        check(!s.enabled());
        return 0;
    }
    check(s.enabled() && s.port >= 1 && s.port <= 65535);
    const QByteArray prefix = s.prefix.toUtf8();
    check(!prefix.isEmpty() && prefix.size() <= publish::MaxPrefixBytes && QUtf8StringView(prefix).isValidUtf8());
    check(!prefix.startsWith('/') && !prefix.endsWith('/') && !prefix.startsWith('$') && !prefix.contains("//"));
    check(std::none_of(prefix.begin(), prefix.end(),
                       [](char c) { return c == '+' || c == '#' || uchar(c) < 0x20 || uchar(c) == 0x7f; }));
    check(std::all_of(s.host.begin(), s.host.end(), [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; }));

    QUrl url;
    url.setScheme(QLatin1String(s.tls ? "mqtts" : "mqtt"));
    url.setHost(s.host);
    url.setPort(s.port);
    url.setPath(QLatin1Char('/') + s.prefix, QUrl::DecodedMode);
    publish::Settings again;
    check(publish::parseUrl(url.toString(QUrl::FullyEncoded), again).isEmpty());
    check(again.host == s.host && again.port == s.port && again.prefix == s.prefix && again.tls == s.tls);
    return 0;
}

// The credentials file: a user name taken is one line without spaces around
// it, and the password one line.
int runMqttCredentialsInput(const uint8_t* data, std::size_t size)
{
    const QString path = writeScratchFile(QStringLiteral("mqtt-login"),
                                          QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    publish::Settings s;
    if (!publish::readCredentials(path, s).isEmpty())
        return 0;
    check(!s.user.isEmpty() && s.user == s.user.trimmed() && !s.user.contains(QLatin1Char('\n')));
    check(!s.password.contains(QLatin1Char('\n')) && !s.password.endsWith(QLatin1Char('\r')));
    return 0;
}

} // namespace dxu::fuzz
