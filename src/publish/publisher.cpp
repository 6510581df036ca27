#include "publish/publisher.h"

#include "publish/mqttlink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTimer>

#include <cmath>

namespace dxu::publish {
namespace {

// A decimal number as JSON; null when the text is empty or not a number.
QJsonValue number(const QString& text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

QByteArray json(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

QString nowUtc() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }

const char* stateText(UnitState s)
{
    switch (s) {
    case UnitState::Measuring:
        return "measuring";
    case UnitState::Idle:
        return "idle";
    case UnitState::NotAnswering:
        return "not answering";
    }
    return "idle";
}

} // namespace

Publisher::Publisher(const Settings& settings) : s_(settings)
{
    if (!s_.enabled())
        return;
    if (s_.clientId.isEmpty())
        s_.clientId = QStringLiteral("dxu-%1-%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
    presenceTopic_ = QStringLiteral("%1/publisher/%2").arg(s_.prefix, s_.clientId).toUtf8();
    MqttLink::Config c;
    c.host = s_.host;
    c.port = s_.port;
    c.tls = s_.tls;
    c.caFile = s_.caFile;
    c.user = s_.user;
    c.password = s_.password;
    c.clientId = s_.clientId;
    c.willTopic = presenceTopic_;
    c.willPayload = presence("offline");
    link_ = std::make_unique<MqttLink>(c);
    link_->onConnected = [this] { connected(); };
    link_->onDown = [this](MqttLink::Down kind, const QString& why) { down(int(kind), why); };
    link_->onPublished = [this](int id) { published(id); };
    link_->onReceipt = [this](int id) { receipt(id); };
}

Publisher::~Publisher() = default;

bool Publisher::open(int waitMs)
{
    if (!link_)
        return true;
    if (!link_->start()) {
        failure_ = link_->error();
        state_ = Link::Failed;
        return false;
    }
    state_ = Link::Connecting;
    opening_ = true;
    waitFor([this] { return state_ != Link::Connecting; }, waitMs);
    opening_ = false;
    if (state_ == Link::Connecting)
        notice(QStringLiteral("no answer yet from the MQTT broker %1; measuring anyway, up to %2 results are held "
                              "until it answers")
                   .arg(s_.where())
                   .arg(s_.hold));
    return state_ != Link::Failed;
}

QByteArray Publisher::topic(const QString& address, const char* leaf)
{
    const QString key = address + QLatin1Char('/') + QLatin1String(leaf);
    auto it = topics_.find(key);
    if (it == topics_.end())
        it = topics_.insert(key, (s_.prefix + QLatin1Char('/') + key).toUtf8());
    return *it;
}

QByteArray Publisher::presence(const char* state) const
{
    return json(QJsonObject{{QStringLiteral("state"), QLatin1String(state)}});
}

void Publisher::publishResult(const QString& address, const QDateTime& timeUtc, const QString& distance,
                              const QString& intensity, const QString& unit)
{
    if (!link_)
        return;
    ++results_;
    hold({topic(address, "result"),
          json(QJsonObject{{QStringLiteral("time"), timeUtc.toUTC().toString(Qt::ISODateWithMs)},
                           {QStringLiteral("address"), address},
                           {QStringLiteral("distance"), number(distance)},
                           {QStringLiteral("intensity"), number(intensity)},
                           {QStringLiteral("unit"), unit}})});
    pump();
}

void Publisher::setStatus(const QString& address, UnitState state, const QString& lastError)
{
    if (!link_)
        return;
    const QByteArray payload =
        json(QJsonObject{{QStringLiteral("time"), nowUtc()},
                         {QStringLiteral("address"), address},
                         {QStringLiteral("state"), QLatin1String(stateText(state))},
                         {QStringLiteral("error"), lastError.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(lastError)},
                         {QStringLiteral("publisher"), s_.clientId}});
    status_[address] = payload;
    if (state_ == Link::Up)
        link_->publish(topic(address, "status"), payload, 1, true);
}

void Publisher::connected()
{
    const bool again = everUp_;
    everUp_ = true;
    state_ = Link::Up;
    lastDown_.clear();
    // Retained state goes again on every connect: a restarted broker may
    // have lost it.
    link_->publish(presenceTopic_, presence("online"), 1, true);
    for (const auto& [address, payload] : status_)
        link_->publish(topic(address, "status"), payload, 1, true);
    if (again) {
        const long lost = dropped_ - droppedAtLoss_;
        notice(QStringLiteral("the MQTT broker %1 is back: publishing the %2 results held%3")
                   .arg(s_.where())
                   .arg(hold_.size() + window_.size())
                   .arg(lost ? QStringLiteral("; %1 dropped while it was away").arg(lost) : QString()));
    }
    pump();
}

void Publisher::down(int kind, const QString& why)
{
    const auto k = MqttLink::Down(kind);
    if (k == MqttLink::Down::Refused || (k == MqttLink::Down::Tls && !everUp_)) {
        state_ = Link::Failed;
        refused_ = k == MqttLink::Down::Refused;
        if (refused_)
            failure_ = QStringLiteral("the MQTT broker %1 refused the login%2: %3")
                           .arg(s_.where(),
                                s_.user.isEmpty() ? QStringLiteral(" (no user name given)")
                                                  : QStringLiteral(" of user '%1'").arg(s_.user),
                                why);
        else
            failure_ = QStringLiteral("no secure connection to the MQTT broker %1 (%2); is its certificate "
                                      "trusted (--publish-ca)?")
                           .arg(s_.where(), why);
        link_->stop();
        if (!opening_ && onFatal)
            onFatal();
        return;
    }
    const bool wasUp = state_ == Link::Up;
    state_ = Link::Down;
    // At QoS 0 what the library had not written yet goes with the connection:
    // back into the hold, oldest first; what it had written and the broker
    // had not confirmed is lost. At QoS 1 the library sends its
    // unacknowledged messages again on the next connection.
    long lostNow = 0;
    if (s_.qos == 0) {
        for (auto it = window_.rbegin(); it != window_.rend(); ++it) {
            if (it->written)
                ++lostNow;
            else
                hold(std::move(it->message), true);
        }
        window_.clear();
        receiptId_ = 0;
        lost_ += lostNow;
    }
    if (wasUp) {
        droppedAtLoss_ = dropped_;
        fullSaid_ = false;
        notice(QStringLiteral("lost the MQTT broker %1 (%2)%3; holding up to %4 results until it is back")
                   .arg(s_.where(), why,
                        lostNow ? QStringLiteral("; %1 results sent were not confirmed and count as lost").arg(lostNow)
                                : QString())
                   .arg(s_.hold));
    } else if (why != lastDown_) {
        notice(QStringLiteral("cannot reach the MQTT broker %1 (%2); trying again").arg(s_.where(), why));
    }
    lastDown_ = why;
}

void Publisher::published(int id)
{
    if (id == goodbyeId_)
        goodbyeDone_ = true;
    for (auto it = window_.begin(); it != window_.end(); ++it)
        if (it->id == id) {
            if (s_.qos == 0) {
                it->written = true; // confirmed by the next receipt
            } else {
                window_.erase(it);
                ++published_;
            }
            break;
        }
    pump();
}

void Publisher::askReceipt()
{
    if (s_.qos != 0 || state_ != Link::Up || receiptId_ != 0 || window_.empty() || window_.back().seq <= receiptCovers_)
        return;
    receiptId_ = link_->requestReceipt(presenceTopic_ + "/receipt"); // a topic nobody subscribes to
    if (receiptId_)
        receiptCovers_ = window_.back().seq;
}

void Publisher::receipt(int id)
{
    if (id == 0 || id != receiptId_)
        return;
    receiptId_ = 0;
    while (!window_.empty() && window_.front().seq <= receiptCovers_) {
        window_.pop_front();
        ++published_;
    }
    pump();
}

void Publisher::pump()
{
    while (state_ == Link::Up && !hold_.empty() && window_.size() < size_t(Window)) {
        const int id = link_->publish(hold_.front().topic, hold_.front().payload, s_.qos, false);
        if (id == 0)
            break; // the connection has just gone; the link says so next
        window_.push_back({id, std::move(hold_.front()), ++handed_});
        hold_.pop_front();
    }
    askReceipt();
}

void Publisher::hold(Message m, bool front)
{
    if (front)
        hold_.push_front(std::move(m));
    else
        hold_.push_back(std::move(m));
    while (long(hold_.size()) > s_.hold) {
        hold_.pop_front();
        ++dropped_;
        if (!fullSaid_) {
            fullSaid_ = true;
            notice(QStringLiteral("the hold of %1 results is full: dropping the oldest until the MQTT broker takes "
                                  "them")
                       .arg(s_.hold));
        }
    }
}

bool Publisher::close(int waitMs)
{
    if (!link_)
        return true;
    if (state_ != Link::Failed && state_ != Link::Off) {
        waitFor([this] { return (hold_.empty() && window_.empty()) || state_ == Link::Failed; }, waitMs);
        if (state_ == Link::Up) {
            goodbyeId_ = link_->publish(presenceTopic_, presence("offline"), 1, true);
            waitFor([this] { return goodbyeDone_ || state_ != Link::Up; }, 3000);
            link_->disconnect();
            waitFor([this] { return !link_->running(); }, 2000);
        }
    }
    link_->stop();
    state_ = Link::Off;
    const Counts c = counts();
    QString text = QStringLiteral("MQTT: %1 of %2 results delivered to %3").arg(c.published).arg(c.results).arg(s_.where());
    if (c.dropped)
        text += QStringLiteral("; %1 dropped while the broker was away").arg(c.dropped);
    if (c.lost)
        text += QStringLiteral("; %1 lost with a dropped connection (sent, never confirmed)").arg(c.lost);
    if (c.held)
        text += QStringLiteral("; %1 not delivered").arg(c.held);
    notice(text);
    const long missing = c.dropped + c.lost + c.held;
    if (missing && failure_.isEmpty())
        failure_ = QStringLiteral("%1 of %2 results did not reach the MQTT broker").arg(missing).arg(c.results);
    return missing == 0;
}

Publisher::Counts Publisher::counts() const
{
    return {results_, published_, dropped_, long(hold_.size() + window_.size()), lost_};
}

void Publisher::notice(const QString& text)
{
    if (onNotice)
        onNotice(text);
}

void Publisher::waitFor(const std::function<bool()>& done, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick; // wakes the loop to look at the clock and the link
    tick.start(50);
    while (!done() && clock.elapsed() < waitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace dxu::publish
