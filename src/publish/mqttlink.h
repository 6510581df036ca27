#pragma once
// One connection to an MQTT broker through libmosquitto, kept up by a thread
// of its own: connecting (name lookup included), TLS, writing and reading the
// socket, keep-alive and reconnecting with back-off (1 s doubling to 10 s)
// all happen there, so that a slow or absent broker never stalls the serial
// line on the program's thread.
//
// The boundary is narrow: the owner's thread hands messages over with
// publish() (libmosquitto queues them under its own locks and wakes the
// thread), and every callback of the library is turned into a queued call on
// the owner's thread; the thread touches nothing else of the program.
#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct mosquitto;

namespace dxu::publish {

class MqttLink : public QObject {
public:
    struct Config {
        QString host;
        int port = 1883;
        bool tls = false;
        QString caFile;   // tls: empty for the system's certificates
        QString user;     // empty: no login
        QString password;
        QString clientId;
        QByteArray willTopic; // retained at QoS 1
        QByteArray willPayload;
    };
    // How an attempt or a connection ended, as the owner is told.
    enum class Down { Lost, Refused, Tls };

    explicit MqttLink(const Config& config);
    ~MqttLink() override;
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    // Starts the thread, which connects and keeps connecting. False (with
    // error()) when the library refuses the configuration.
    bool start();
    QString error() const { return error_; }
    // Hands a message to the library; its id, or 0 when there is no
    // connection to send it on (nothing was queued then).
    int publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain);
    // Asks the broker to confirm that it has taken everything handed over
    // before (an UNSUBSCRIBE of a topic never subscribed: the broker answers
    // it after the packets sent before it); its id, answered through
    // onReceipt, or 0 when there is no connection.
    int requestReceipt(const QByteArray& topic);
    // Says goodbye to the broker (no Last Will then); the thread ends once
    // the goodbye is written.
    void disconnect();
    // Ends the thread (at once, or after the name lookup in progress).
    void stop();
    bool running() const { return thread_.joinable() && !finished_; }

    // Called on the owner's thread.
    std::function<void()> onConnected;
    std::function<void(Down kind, const QString& why)> onDown;
    std::function<void(int id)> onPublished;
    std::function<void(int id)> onReceipt;

private:
    void run();
    void backOff();
    // Queues f on the owner's thread.
    void post(std::function<void()> f);
    QString reason(int rc) const;

    static void connectCallback(mosquitto*, void* self, int rc);
    static void publishCallback(mosquitto*, void* self, int mid);
    static void unsubscribeCallback(mosquitto*, void* self, int mid);
    static void logCallback(mosquitto*, void* self, int level, const char* text);

    Config config_;
    mosquitto* m_ = nullptr;
    QString error_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> leaving_{false};
    std::atomic<bool> finished_{false};
    // The thread's own: the back-off, whether the broker took the login, the
    // library's last error line.
    int delayS_ = 1;
    bool refused_ = false;
    QString lastLog_;
};

} // namespace dxu::publish
