#pragma once
// What `dxu-cli measure --publish` is told on its command line: the broker's
// address and topic prefix, the quality of service, where the user name and
// password come from, the trusted certificates and the size of the hold.
#include <QString>
#include <QStringList>

namespace dxu::publish {

// A minute of the fastest stream of one unit (about 930 results a second).
constexpr long DefaultHold = 56000;
// The longest client id taken (--publish-id).
constexpr int MaxClientIdBytes = 128;
// An MQTT topic is at most 65535 bytes; the longest one published is
// PREFIX/publisher/<client id>.
constexpr int MaxPrefixBytes = 65535 - int(sizeof("/publisher/") - 1) - MaxClientIdBytes;

struct Settings {
    QString url;        // as given; empty: nothing is published
    bool tls = false;   // mqtts://
    QString host;
    int port = 0;
    QString prefix;     // topic prefix, without leading or trailing '/'
    int qos = 0;        // for results; status and presence always go at 1
    QString user;       // empty: no login
    QString password;
    QString caFile;     // mqtts: the certificates trusted; empty: the system's
    long hold = DefaultHold;
    QString clientId;   // empty: dxu-<host name>-<process id>
    bool optionsSeen = false; // a --publish-* option was given

    bool enabled() const { return !host.isEmpty(); }
    // "mqtt://host:port/prefix", without anything secret.
    QString where() const;
};

// Takes the publishing option at args[i] (and its value, advancing i) into s.
// False when args[i] is not a publishing option; a bad value sets error.
bool takeOption(const QStringList& args, int& i, Settings& s, QString& error);
// The checks that need the whole command line, and the user name and
// password from the environment when no file gave them. Empty when good.
QString completeSettings(Settings& s);
// The options' help, for the help of the command that publishes.
QString optionsHelp();

// Parses "mqtt://HOST[:PORT]/PREFIX" or "mqtts://..." into s; the reason
// when it is not one.
QString parseUrl(const QString& text, Settings& s);
// Reads the user name (first line) and password (second line) of file.
QString readCredentials(const QString& file, Settings& s);

} // namespace dxu::publish
