#include "publish/MqttSession.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string Reason(int code) {
    if (code == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return mosquitto_strerror(code);
}

std::string BrokerName(const BrokerAddress& address) {
    return (address.tls ? "mqtts://" : "mqtt://") + address.host + ":" + std::to_string(address.port);
}

} // namespace

MqttSession::MqttSession() {
    InitLibrary();
}

MqttSession::~MqttSession() {
    Stop();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

void MqttSession::OnConnect(int code) {
    std::lock_guard lock(m_lock);
    m_connack = code;
    m_changed.notify_all();
}

void MqttSession::OnDisconnect(int code) {
    // The reason is read here: errno belongs to the library's thread.
    const std::string reason = code == 0 ? "disconnected" : Reason(code);
    std::lock_guard lock(m_lock);
    m_disconnect = reason;
    m_changed.notify_all();
}

void MqttSession::OnPublish(int mid) {
    std::lock_guard lock(m_lock);
    m_published.insert(mid);
    m_changed.notify_all();
}

std::string MqttSession::Connect(const MqttLogin& login, std::chrono::milliseconds timeout) {
    const std::string broker = BrokerName(login.address);
    m_mosq = mosquitto_new(login.clientId.c_str(), true, this);
    if (!m_mosq)
        return "the MQTT client cannot be created: " + std::string(std::strerror(errno));
    mosquitto_connect_callback_set(
        m_mosq, [](mosquitto*, void* self, int code) { static_cast<MqttSession*>(self)->OnConnect(code); });
    mosquitto_disconnect_callback_set(m_mosq, [](mosquitto*, void* self, int code) {
        static_cast<MqttSession*>(self)->OnDisconnect(code);
    });
    mosquitto_publish_callback_set(
        m_mosq, [](mosquitto*, void* self, int mid) { static_cast<MqttSession*>(self)->OnPublish(mid); });
    // Our own order on the archive counts, not the library's: no reconnect behind our back, no
    // limit on messages in flight (the broker acknowledges them in the order sent).
    mosquitto_reconnect_delay_set(m_mosq, 3600, 3600, false);
    mosquitto_max_inflight_messages_set(m_mosq, 0);

    if (!login.user.empty() &&
        mosquitto_username_pw_set(m_mosq, login.user.c_str(),
                                  login.password ? login.password->c_str() : nullptr) != MOSQ_ERR_SUCCESS)
        return "the user name for " + broker + " cannot be set";
    if (login.address.tls) {
        const int set = login.caFile.empty() ? mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                                             : mosquitto_tls_set(m_mosq, login.caFile.c_str(), nullptr,
                                                                 nullptr, nullptr, nullptr);
        if (set != MOSQ_ERR_SUCCESS)
            return "TLS for " + broker + " cannot be set up with CA file \"" + login.caFile +
                   "\": " + Reason(set);
    }
    if (login.will) {
        const MqttMessage& will = *login.will;
        mosquitto_will_set(m_mosq, will.topic.c_str(), static_cast<int>(will.payload.size()),
                           will.payload.data(), will.qos, will.retain);
    }

    const int started = mosquitto_loop_start(m_mosq);
    if (started != MOSQ_ERR_SUCCESS)
        return "the MQTT network thread cannot be started: " + Reason(started);
    m_loopRunning = true;
    const int connecting =
        mosquitto_connect_async(m_mosq, login.address.host.c_str(), login.address.port, 60);
    if (connecting != MOSQ_ERR_SUCCESS)
        return "broker " + broker + " cannot be reached: " + Reason(connecting);

    std::unique_lock lock(m_lock);
    if (!m_changed.wait_for(lock, timeout, [&] { return m_connack || m_disconnect; }))
        return "broker " + broker + " did not answer within " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeout).count()) + " s";
    if (m_connack && *m_connack == 0)
        return "";
    if (m_connack)
        return "broker " + broker + " refused the login: " + mosquitto_connack_string(*m_connack);
    return "broker " + broker + " cannot be reached: " + *m_disconnect;
}

MqttSession::Sent MqttSession::Send(const std::vector<MqttMessage>& messages,
                                    std::chrono::milliseconds stallTimeout) {
    // Message ids are 16 bits and come round again: a batch is sent and acknowledged whole before
    // the next one starts, so an id is never taken for another message's.
    constexpr std::size_t Batch = 20000;
    Sent sent;
    std::vector<int> mids;
    while (sent.acknowledged < messages.size()) {
        const std::size_t begin = sent.acknowledged, end = std::min(messages.size(), begin + Batch);
        {
            std::lock_guard lock(m_lock);
            m_published.clear();
        }
        mids.assign(end - begin, 0);
        std::size_t queued = begin;
        for (; queued < end; ++queued) {
            const MqttMessage& m = messages[queued];
            const int rc =
                mosquitto_publish(m_mosq, &mids[queued - begin], m.topic.c_str(),
                                  static_cast<int>(m.payload.size()), m.payload.data(), m.qos, m.retain);
            if (rc != MOSQ_ERR_SUCCESS) {
                sent.error = "publishing on \"" + m.topic + "\" failed: " + Reason(rc);
                break;
            }
        }
        std::unique_lock lock(m_lock);
        const auto taken = [&] { return m_published.count(mids[sent.acknowledged - begin]) != 0; };
        while (sent.acknowledged < queued) {
            if (taken()) {
                ++sent.acknowledged;
                continue;
            }
            if (m_disconnect) {
                sent.error = "the connection to the broker was lost: " + *m_disconnect;
                return sent;
            }
            if (!m_changed.wait_for(lock, stallTimeout, [&] { return m_disconnect || taken(); })) {
                sent.error = "the broker stopped acknowledging messages";
                return sent;
            }
        }
        if (!sent.error.empty())
            return sent;
    }
    return sent;
}

void MqttSession::Disconnect() {
    if (!m_loopRunning)
        return;
    // The network thread sends the goodbye; only then may it go, or the broker would see the
    // connection break and publish the last will.
    if (mosquitto_disconnect(m_mosq) == MOSQ_ERR_SUCCESS) {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_disconnect.has_value(); });
    }
    Stop();
}

void MqttSession::Stop() {
    if (!m_loopRunning)
        return;
    // Without a connection (a refused login, a broken one), the network thread waits to connect
    // again; asked to disconnect, it ends its loop when woken instead of reconnecting, where being
    // cancelled would leave the address lookup's memory behind. A live connection is left to
    // break, so that the broker publishes the last will as before.
    bool connected;
    {
        std::lock_guard lock(m_lock);
        connected = m_connack && *m_connack == 0 && !m_disconnect;
    }
    if (!connected)
        mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, true);
    m_loopRunning = false;
}
