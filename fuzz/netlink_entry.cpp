// Fuzz entries for what a device server and its address bring in: the
// Telnet decoder (the same outcome however the bytes are cut, and never more
// owed to the server than a bounded reply), and the device-server address.
#include "entries.h"

#include "serial/netlink.h"
#include "serial/telnetport.h"

#include <QUrl>

#include <algorithm>

namespace dxu::fuzz {
namespace {

using serialio::TelnetComPort;

struct Decoded {
    TelnetComPort telnet;
    QByteArray data, reply;
    bool operator==(const Decoded& o) const
    {
        return data == o.data && reply == o.reply && telnet.comPort() == o.telnet.comPort()
               && telnet.confirmedRate() == o.telnet.confirmedRate()
               && telnet.confirmations() == o.telnet.confirmations()
               && telnet.rateConfirmations() == o.telnet.rateConfirmations() && telnet.flooded() == o.telnet.flooded();
    }
};

// The bytes fed in pieces: every piece `cut` bytes long, or, with cut 0, as
// long as the byte that begins it says (1 to 8).
void decode(Decoded& d, const char* bytes, int size, int cut)
{
    d.telnet.opening();
    for (int at = 0; at < size;) {
        const int n = std::min(size - at, cut > 0 ? cut : 1 + uint8_t(bytes[at]) % 8);
        d.telnet.receive(bytes + at, n, d.data, d.reply);
        at += n;
    }
}

} // namespace

int runTelnetInput(const uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const int n = int(std::min<std::size_t>(size, 1 << 20));
    Decoded whole;
    decode(whole, bytes, n, n);
    check(whole.data.size() <= n);
    check(whole.reply.size() <= TelnetComPort::MaxReplyBytes);
    for (int cut : {1, 0}) {
        Decoded pieces;
        decode(pieces, bytes, n, cut);
        check(pieces == whole);
    }
    // The port's data sent as this side sends it reads back as it was.
    Decoded echo;
    const QByteArray encoded = TelnetComPort::encode(whole.data.constData(), int(whole.data.size()));
    decode(echo, encoded.constData(), int(encoded.size()), 0);
    check(echo.data == whole.data && echo.reply.isEmpty());
    return 0;
}

// A device text: an address read from it names a host and a port, and
// written out again it reads back the same.
int runNetAddressInput(const uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    serialio::NetAddress a;
    if (!serialio::parseNetAddress(text, a))
        return 0;
    check(serialio::isNetworkDevice(text));
    check(!a.host.isEmpty() && a.port > 0);
    check(std::all_of(a.host.begin(), a.host.end(), [](char c) { return uchar(c) > 0x20 && uchar(c) < 0x7f; }));
    QUrl url;
    url.setScheme(QLatin1String(a.telnet ? (a.tls ? "rfc2217+tls" : "rfc2217") : (a.tls ? "tls" : "tcp")));
    url.setHost(QString::fromLatin1(a.host));
    url.setPort(a.port);
    serialio::NetAddress again;
    check(serialio::parseNetAddress(url.toString(QUrl::FullyEncoded), again));
    check(again.host == a.host && again.port == a.port && again.telnet == a.telnet && again.tls == a.tls);
    return 0;
}

} // namespace dxu::fuzz
