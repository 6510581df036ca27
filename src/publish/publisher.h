#pragma once
// Publishes measurement results and the state of units to an MQTT broker.
//
// Topics, under the prefix of the URL:
//   PREFIX/<address>/result     one JSON object per result:
//                               {"time":"2026-12-08T02:33:05.932Z","address":"a",
//                                "distance":12.347,"intensity":null,"unit":"m"}
//                               (null: not reported in the unit's display mode)
//   PREFIX/<address>/status     retained: {"time":...,"address":"a","state":
//                               "measuring"|"idle"|"not answering","error":null
//                               or the unit's last error,"publisher":"<client id>"}
//   PREFIX/publisher/<client id> retained: {"state":"online"} after each
//                               connect, {"state":"offline"} at the end and, as
//                               the Last Will, when the publisher vanishes.
// Results go at the chosen quality of service; status and presence at QoS 1.
//
// While the broker is away, results wait in a hold of Settings::hold
// messages; when it is full the oldest are dropped, counted and reported.
// At most a fixed number of results are in the client library or awaiting
// the broker's word at once, so memory stays bounded however long the broker
// is away, stopped or slow. A result counts as delivered only once the broker
// has confirmed it: at QoS 1 by its acknowledgement, at QoS 0 by the answer
// to a receipt request sent after it (a broker handles the packets of a
// connection in order). At QoS 1 the library sends again what was not
// acknowledged when a connection drops; at QoS 0 what was written to a
// connection that dropped before the broker confirmed it counts as lost (it
// may or may not have arrived, and is not sent twice).
#include "publish/settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace dxu::publish {

class MqttLink;

enum class UnitState { Measuring, Idle, NotAnswering };

class Publisher : public QObject {
public:
    // Results handed to the client library and not yet confirmed.
    static constexpr int Window = 500;

    // Nothing is published when settings are not enabled(); every call is
    // then a no-op.
    explicit Publisher(const Settings& settings);
    ~Publisher() override;
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Starts connecting and waits up to waitMs for the first answer. False
    // when publishing cannot go on: the broker refused the login, its
    // certificate is not trusted, or the client cannot be set up (failure()
    // says why). A broker that is merely unreachable is reported through
    // onNotice and tried again; results are held meanwhile.
    bool open(int waitMs = 5000);
    bool loginRefused() const { return refused_; }
    QString failure() const { return failure_; }

    // distance, intensity: decimal text as printed, empty when the unit did
    // not report it. unit: "m" or "ft".
    void publishResult(const QString& address, const QDateTime& timeUtc, const QString& distance,
                       const QString& intensity, const QString& unit);
    void setStatus(const QString& address, UnitState state, const QString& lastError = {});

    // Publishes what is held (waiting up to waitMs), says offline and
    // disconnects; reports the figures through onNotice. True when the
    // broker confirmed every result.
    bool close(int waitMs = 10000);

    struct Counts {
        long results = 0;   // handed to publishResult
        long published = 0; // delivered: confirmed by the broker
        long dropped = 0;   // pushed out of a full hold
        long held = 0;      // waiting now, in the hold, in the library or for the broker's word
        long lost = 0;      // QoS 0: written to a connection that dropped before the broker confirmed them
    };
    Counts counts() const;

    // One line for the user (the broker lost and back, results dropped).
    std::function<void(const QString&)> onNotice;
    // Publishing cannot go on (login refused during the run).
    std::function<void()> onFatal;

private:
    struct Message {
        QByteArray topic;
        QByteArray payload;
    };
    struct InFlight {
        int id;
        Message message;
        long seq;             // its place among the messages handed to this connection
        bool written = false; // QoS 0: the library has written it
    };
    enum class Link { Off, Connecting, Up, Down, Failed };

    QByteArray topic(const QString& address, const char* leaf);
    QByteArray presence(const char* state) const;
    void connected();
    void down(int kind, const QString& why);
    void published(int id);
    // QoS 0: asks the broker to confirm what was handed over so far, and
    // takes its answer.
    void askReceipt();
    void receipt(int id);
    // Moves held results into the library while there is room.
    void pump();
    void hold(Message m, bool front = false);
    void notice(const QString& text);
    // Runs the event loop until done() or waitMs.
    void waitFor(const std::function<bool()>& done, int waitMs);

    Settings s_;
    std::unique_ptr<MqttLink> link_;
    Link state_ = Link::Off;
    QByteArray presenceTopic_;
    QHash<QString, QByteArray> topics_;
    std::deque<Message> hold_;
    std::deque<InFlight> window_;
    std::map<QString, QByteArray> status_; // the latest of each unit, sent again on every connect
    int goodbyeId_ = 0;
    bool goodbyeDone_ = false;
    bool refused_ = false;
    bool opening_ = false;
    bool everUp_ = false;
    bool fullSaid_ = false;
    QString failure_;
    QString lastDown_;
    long results_ = 0;
    long published_ = 0;
    long dropped_ = 0;
    long droppedAtLoss_ = 0;
    long lost_ = 0;
    // QoS 0: results handed to the current connection, and the receipt asked
    // for (its id and how many results it covers).
    long handed_ = 0;
    int receiptId_ = 0;
    long receiptCovers_ = 0;
};

} // namespace dxu::publish
