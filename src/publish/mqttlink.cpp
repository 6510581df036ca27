#include "publish/mqttlink.h"

#include <mosquitto.h>

#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace dxu::publish {
namespace {

constexpr int KeepAliveS = 30;
constexpr int MaxDelayS = 10;
// The thread looks at its stop flag at least this often.
constexpr int LoopMs = 200;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttLink::MqttLink(const Config& config) : config_(config)
{
    initLibrary();
    m_ = mosquitto_new(config_.clientId.toUtf8().constData(), true, this);
    if (!m_)
        error_ = QStringLiteral("the MQTT client cannot be made: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

MqttLink::~MqttLink()
{
    stop();
    if (m_)
        mosquitto_destroy(m_);
}

bool MqttLink::start()
{
    if (!m_ || thread_.joinable())
        return m_ != nullptr;
    auto failed = [this](const char* what, int rc) {
        error_ = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(mosquitto_strerror(rc)));
        return false;
    };
    mosquitto_threaded_set(m_, true);
    mosquitto_int_option(m_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_, &MqttLink::connectCallback);
    mosquitto_publish_callback_set(m_, &MqttLink::publishCallback);
    mosquitto_unsubscribe_callback_set(m_, &MqttLink::unsubscribeCallback);
    int rc = MOSQ_ERR_SUCCESS;
    if (!config_.user.isEmpty()
        && (rc = mosquitto_username_pw_set(m_, config_.user.toUtf8().constData(), config_.password.toUtf8().constData())))
        return failed("user name and password", rc);
    if (!config_.willTopic.isEmpty()
        && (rc = mosquitto_will_set(m_, config_.willTopic.constData(), int(config_.willPayload.size()),
                                    config_.willPayload.constData(), 1, true)))
        return failed("last will", rc);
    if (config_.tls) {
        // Only TLS errors need the library's own words (OpenSSL's reason).
        mosquitto_log_callback_set(m_, &MqttLink::logCallback);
        const QByteArray ca = config_.caFile.toLocal8Bit();
        if ((rc = mosquitto_tls_set(m_, ca.isEmpty() ? nullptr : ca.constData(), ca.isEmpty() ? "/etc/ssl/certs" : nullptr,
                                    nullptr, nullptr, nullptr)))
            return failed(ca.isEmpty() ? "the system's certificates" : ca.constData(), rc);
        if ((rc = mosquitto_tls_opts_set(m_, 1 /* verify the broker */, nullptr, nullptr)))
            return failed("TLS", rc);
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

int MqttLink::publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain)
{
    int id = 0;
    const int rc = mosquitto_publish(m_, &id, topic.constData(), int(payload.size()), payload.constData(), qos, retain);
    return rc == MOSQ_ERR_SUCCESS ? id : 0;
}

int MqttLink::requestReceipt(const QByteArray& topic)
{
    int id = 0;
    return mosquitto_unsubscribe(m_, &id, topic.constData()) == MOSQ_ERR_SUCCESS ? id : 0;
}

void MqttLink::disconnect()
{
    leaving_ = true;
    if (m_)
        mosquitto_disconnect(m_);
}

void MqttLink::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void MqttLink::post(std::function<void()> f) { QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection); }

QString MqttLink::reason(int rc) const
{
    if (!lastLog_.isEmpty())
        return lastLog_;
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

void MqttLink::run()
{
    const QByteArray host = config_.host.toUtf8();
    bool first = true;
    while (!stopping_) {
        refused_ = false;
        lastLog_.clear();
        int rc = first ? mosquitto_connect_async(m_, host.constData(), config_.port, KeepAliveS)
                       : mosquitto_reconnect_async(m_);
        first = false;
        while (rc == MOSQ_ERR_SUCCESS && !stopping_)
            rc = mosquitto_loop(m_, LoopMs, 1);
        const int err = errno;
        if (stopping_ || leaving_)
            break;
        if (!refused_) {
            const bool tls = config_.tls && (rc == MOSQ_ERR_TLS || (rc == MOSQ_ERR_ERRNO && err == EPROTO));
            errno = err;
            const QString why = reason(rc);
            post([this, tls, why] {
                if (onDown)
                    onDown(tls ? Down::Tls : Down::Lost, why);
            });
        }
        backOff();
    }
    finished_ = true;
}

void MqttLink::backOff()
{
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::seconds(delayS_), [this] { return stopping_.load(); });
    delayS_ = std::min(delayS_ * 2, MaxDelayS);
}

void MqttLink::connectCallback(mosquitto*, void* self, int rc)
{
    auto* link = static_cast<MqttLink*>(self);
    if (rc == 0) {
        link->delayS_ = 1;
        link->post([link] {
            if (link->onConnected)
                link->onConnected();
        });
        return;
    }
    // 4: bad user name or password, 5: not authorised.
    link->refused_ = true;
    const Down kind = rc == 4 || rc == 5 ? Down::Refused : Down::Lost;
    const QString why = QString::fromUtf8(mosquitto_connack_string(rc));
    link->post([link, kind, why] {
        if (link->onDown)
            link->onDown(kind, why);
    });
}

void MqttLink::publishCallback(mosquitto*, void* self, int mid)
{
    auto* link = static_cast<MqttLink*>(self);
    link->post([link, mid] {
        if (link->onPublished)
            link->onPublished(mid);
    });
}

void MqttLink::unsubscribeCallback(mosquitto*, void* self, int mid)
{
    auto* link = static_cast<MqttLink*>(self);
    link->post([link, mid] {
        if (link->onReceipt)
            link->onReceipt(mid);
    });
}

void MqttLink::logCallback(mosquitto*, void* self, int level, const char* text)
{
    if (level == MOSQ_LOG_ERR && text)
        static_cast<MqttLink*>(self)->lastLog_ = QString::fromUtf8(text);
}

} // namespace dxu::publish
