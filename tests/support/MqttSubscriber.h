#pragma once

#include <mosquitto.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// A real MQTT client that subscribes to a topic filter and keeps what arrives, with the retained
// flag as the broker set it (retained messages come so flagged only to a new subscription).
class MqttSubscriber {
public:
    struct Received {
        std::string topic, payload;
        bool retained = false;
        int qos = 0;
    };

    MqttSubscriber(int port, const std::string& filter, const std::string& user = "",
                   const std::string& password = "") {
        mosquitto_lib_init();
        m_mosq = mosquitto_new(nullptr, true, this);
        if (!user.empty())
            mosquitto_username_pw_set(m_mosq, user.c_str(), password.c_str());
        mosquitto_subscribe_callback_set(m_mosq, [](mosquitto*, void* self, int, int, const int*) {
            auto* s = static_cast<MqttSubscriber*>(self);
            std::lock_guard lock(s->m_lock);
            s->m_subscribed = true;
            s->m_changed.notify_all();
        });
        mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* m) {
            auto* s = static_cast<MqttSubscriber*>(self);
            Received r{
                m->topic,
                std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)),
                m->retain, m->qos};
            std::function<void(const Received&)> hook;
            {
                std::lock_guard lock(s->m_lock);
                s->m_received.push_back(r);
                hook = s->m_hook;
                s->m_changed.notify_all();
            }
            if (hook)
                hook(r);
        });
        if (mosquitto_connect(m_mosq, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS)
            throw std::runtime_error("the subscriber cannot connect");
        char* const filters[] = {const_cast<char*>(filter.c_str()), const_cast<char*>(SyncTopic)};
        mosquitto_subscribe_multiple(m_mosq, nullptr, 2, filters, 1, 0, nullptr);
        mosquitto_loop_start(m_mosq);
        std::unique_lock lock(m_lock);
        if (!m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_subscribed; }))
            throw std::runtime_error("the subscription was not confirmed");
    }

    // Everything the broker sent before now has arrived: it answers a message of our own only
    // after what it had queued for us (the retained messages of the subscription among them).
    // Returns what was received, without the sync messages.
    std::vector<Received> Sync() {
        const std::string token = std::to_string(++m_syncs);
        mosquitto_publish(m_mosq, nullptr, SyncTopic, static_cast<int>(token.size()), token.data(), 1, false);
        WaitFor(1, [&](const Received& r) { return r.topic == SyncTopic && r.payload == token; });
        std::lock_guard lock(m_lock);
        std::vector<Received> kept;
        for (const Received& r : m_received)
            if (r.topic != SyncTopic)
                kept.push_back(r);
        return kept;
    }
    ~MqttSubscriber() {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, true);
        mosquitto_destroy(m_mosq);
    }

    // Called on the client's thread for every message, after it is kept.
    void OnMessage(std::function<void(const Received&)> hook) {
        std::lock_guard lock(m_lock);
        m_hook = std::move(hook);
    }

    // Waits until `count` messages on topics passing `wanted` have arrived (or 10 s went by) and
    // returns everything received so far.
    std::vector<Received> WaitFor(std::size_t count,
                                  const std::function<bool(const Received&)>& wanted = {}) {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, std::chrono::seconds(10), [&] {
            std::size_t n = 0;
            for (const Received& r : m_received)
                n += !wanted || wanted(r);
            return n >= count;
        });
        return m_received;
    }

private:
    static constexpr const char* SyncTopic = "nivaro-test/sync";
    int m_syncs = 0;
    mosquitto* m_mosq = nullptr;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_subscribed = false;
    std::vector<Received> m_received;
    std::function<void(const Received&)> m_hook;
};
