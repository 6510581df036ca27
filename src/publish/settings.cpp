#include "publish/settings.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUtf8StringView>

#include <algorithm>

namespace dxu::publish {
namespace {

const char kHelp[] =
    "Publishing to an MQTT broker (the CSV lines are printed as well):\n"
    "  --publish URL        mqtt://HOST[:PORT]/PREFIX, or mqtts://HOST[:PORT]/PREFIX\n"
    "                       for TLS with the broker's certificate verified (ports\n"
    "                       1883 and 8883 by default). Each result goes as JSON to\n"
    "                       PREFIX/<address>/result (\"unit\" for the RS-232 unit),\n"
    "                       the unit's state (measuring, idle, not answering, its\n"
    "                       last error) retained to PREFIX/<address>/status, and\n"
    "                       PREFIX/publisher/<client id> says online or offline\n"
    "                       (also when the program dies: the broker's Last Will).\n"
    "  --publish-qos Q      0 (default) or 1 for the results\n"
    "  --publish-credentials FILE\n"
    "                       the user name on the first line of FILE, the password\n"
    "                       on the second; without it DXU_MQTT_USER and\n"
    "                       DXU_MQTT_PASSWORD, when set. Never on the command line.\n"
    "  --publish-ca FILE    mqtts: the certificates (PEM) to trust instead of the\n"
    "                       system's\n"
    "  --publish-hold N     results held while the broker is away (default 56000,\n"
    "                       a minute of the fastest stream); beyond it the oldest\n"
    "                       are dropped, counted and reported\n"
    "  --publish-id ID      the MQTT client id (default dxu-<host>-<process id>)\n"
    "\n";

QString value(const QStringList& args, int& i, QString& error)
{
    if (i + 1 >= args.size()) {
        error = QStringLiteral("%1 needs a value").arg(args[i]);
        return {};
    }
    return args[++i];
}

} // namespace

QString Settings::where() const
{
    return QStringLiteral("%1://%2:%3/%4").arg(tls ? "mqtts" : "mqtt", host).arg(port).arg(prefix);
}

QString parseUrl(const QString& text, Settings& s)
{
    const QString form = QStringLiteral("'%1' is not mqtt://HOST[:PORT]/PREFIX or mqtts://...").arg(text);
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return form;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))
        return form;
    if (!url.userInfo().isEmpty())
        return QStringLiteral("no user name or password in the URL: give them in a file (--publish-credentials) "
                              "or in DXU_MQTT_USER and DXU_MQTT_PASSWORD");
    if (url.hasQuery() || url.hasFragment())
        return form;
    if (url.port() == 0)
        return QStringLiteral("'%1' names port 0; give a port from 1 to 65535").arg(text);
    // The prefix as the broker will see it: UTF-8 without control characters.
    QByteArray raw = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    while (raw.startsWith('/'))
        raw.remove(0, 1);
    while (raw.endsWith('/'))
        raw.chop(1);
    if (raw.isEmpty())
        return QStringLiteral("'%1' has no topic prefix (mqtt://HOST[:PORT]/PREFIX)").arg(text);
    if (!QUtf8StringView(raw).isValidUtf8()
        || std::any_of(raw.begin(), raw.end(), [](char c) { return uchar(c) < 0x20 || uchar(c) == 0x7f; }))
        return QStringLiteral("the topic prefix of '%1' holds a control character or is not UTF-8").arg(text);
    const QString prefix = QString::fromUtf8(raw);
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')) || prefix.contains(QLatin1String("//")))
        return QStringLiteral("the topic prefix '%1' holds a wildcard (+ or #) or an empty level").arg(prefix);
    // Topics that begin with '$' are the broker's own ($SYS): what a client
    // publishes there reaches no subscriber.
    if (prefix.startsWith(QLatin1Char('$')))
        return QStringLiteral("the topic prefix '%1' begins with '$', which brokers keep for themselves").arg(prefix);
    if (raw.size() > MaxPrefixBytes)
        return QStringLiteral("the topic prefix of '%1' is %2 bytes long; MQTT topics allow at most %3 for it")
            .arg(text.left(40) + QStringLiteral("..."))
            .arg(raw.size())
            .arg(MaxPrefixBytes);
    // A host name in another script is looked up in its ASCII form (xn--...).
    QString host = url.host();
    if (std::any_of(host.begin(), host.end(), [](QChar c) { return c.unicode() >= 0x80; }))
        host = QString::fromLatin1(QUrl::toAce(host));
    if (host.isEmpty())
        return form;
    s.url = text;
    s.tls = scheme == QLatin1String("mqtts");
    s.host = host;
    s.port = url.port(s.tls ? 8883 : 1883);
    s.prefix = prefix;
    return {};
}

QString readCredentials(const QString& file, Settings& s)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("cannot read the credentials file %1: %2").arg(file, f.errorString());
    const QList<QByteArray> lines = f.read(64 * 1024).split('\n');
    s.user = QString::fromUtf8(lines.value(0)).trimmed();
    s.password = QString::fromUtf8(lines.value(1));
    if (s.password.endsWith(QLatin1Char('\r')))
        s.password.chop(1);
    if (s.user.isEmpty())
        return QStringLiteral("the credentials file %1 has no user name on its first line").arg(file);
    return {};
}

bool takeOption(const QStringList& args, int& i, Settings& s, QString& error)
{
    const QString& a = args[i];
    if (!a.startsWith(QLatin1String("--publish")))
        return false;
    if (a != QLatin1String("--publish"))
        s.optionsSeen = true;
    if (a == QLatin1String("--publish")) {
        const QString v = value(args, i, error);
        if (error.isEmpty())
            error = parseUrl(v, s);
    } else if (a == QLatin1String("--publish-qos")) {
        const QString v = value(args, i, error);
        if (v == QLatin1String("0") || v == QLatin1String("1"))
            s.qos = v.toInt();
        else if (error.isEmpty())
            error = QStringLiteral("bad quality of service '%1' (0 or 1)").arg(v);
    } else if (a == QLatin1String("--publish-credentials")) {
        const QString v = value(args, i, error);
        if (error.isEmpty())
            error = readCredentials(v, s);
    } else if (a == QLatin1String("--publish-ca")) {
        s.caFile = value(args, i, error);
        if (error.isEmpty() && !QFileInfo(s.caFile).isReadable())
            error = QStringLiteral("cannot read the certificate file %1").arg(s.caFile);
    } else if (a == QLatin1String("--publish-hold")) {
        const QString v = value(args, i, error);
        bool ok = false;
        s.hold = v.toLong(&ok);
        if (error.isEmpty() && (!ok || s.hold < 1 || s.hold > 10 * DefaultHold))
            error = QStringLiteral("bad hold '%1' (1 to %2 results)").arg(v).arg(10 * DefaultHold);
    } else if (a == QLatin1String("--publish-id")) {
        s.clientId = value(args, i, error);
        if (error.isEmpty() && (s.clientId.isEmpty() || s.clientId.toUtf8().size() > MaxClientIdBytes
                                || s.clientId.contains(QRegularExpression(QStringLiteral("[+#/\\s]")))))
            error = QStringLiteral("bad client id '%1'").arg(s.clientId);
    } else {
        return false;
    }
    return true;
}

QString completeSettings(Settings& s)
{
    if (!s.enabled())
        return s.optionsSeen ? QStringLiteral("the --publish-* options need --publish URL") : QString();
    if (!s.caFile.isEmpty() && !s.tls)
        return QStringLiteral("--publish-ca needs an mqtts:// URL");
    if (s.user.isEmpty()) {
        s.user = qEnvironmentVariable("DXU_MQTT_USER");
        s.password = qEnvironmentVariable("DXU_MQTT_PASSWORD");
    }
    return {};
}

QString optionsHelp() { return QString::fromLatin1(kHelp); }

} // namespace dxu::publish
