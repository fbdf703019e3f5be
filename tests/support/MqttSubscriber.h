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
        _mosq = mosquitto_new(nullptr, true, this);
        if (!user.empty())
            mosquitto_username_pw_set(_mosq, user.c_str(), password.c_str());
        mosquitto_subscribe_callback_set(_mosq, [](mosquitto*, void* self, int, int, const int*) {
            auto* s = static_cast<MqttSubscriber*>(self);
            std::lock_guard lock(s->_lock);
            s->_subscribed = true;
            s->_changed.notify_all();
        });
        mosquitto_message_callback_set(_mosq, [](mosquitto*, void* self, const mosquitto_message* m) {
            auto* s = static_cast<MqttSubscriber*>(self);
            Received r{
                m->topic,
                std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)),
                m->retain, m->qos};
            std::function<void(const Received&)> hook;
            {
                std::lock_guard lock(s->_lock);
                s->_received.push_back(r);
                hook = s->_hook;
                s->_changed.notify_all();
            }
            if (hook)
                hook(r);
        });
        if (mosquitto_connect(_mosq, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS)
            throw std::runtime_error("the subscriber cannot connect");
        char* const filters[] = {const_cast<char*>(filter.c_str()), const_cast<char*>(SyncTopic)};
        mosquitto_subscribe_multiple(_mosq, nullptr, 2, filters, 1, 0, nullptr);
        mosquitto_loop_start(_mosq);
        std::unique_lock lock(_lock);
        if (!_changed.wait_for(lock, std::chrono::seconds(10), [&] { return _subscribed; }))
            throw std::runtime_error("the subscription was not confirmed");
    }

    // Everything the broker sent before now has arrived: it answers a message of our own only
    // after what it had queued for us (the retained messages of the subscription among them).
    // Returns what was received, without the sync messages.
    std::vector<Received> Sync() {
        const std::string token = std::to_string(++_syncs);
        mosquitto_publish(_mosq, nullptr, SyncTopic, static_cast<int>(token.size()), token.data(), 1, false);
        WaitFor(1, [&](const Received& r) { return r.topic == SyncTopic && r.payload == token; });
        std::lock_guard lock(_lock);
        std::vector<Received> kept;
        for (const Received& r : _received)
            if (r.topic != SyncTopic)
                kept.push_back(r);
        return kept;
    }
    ~MqttSubscriber() {
        mosquitto_disconnect(_mosq);
        mosquitto_loop_stop(_mosq, true);
        mosquitto_destroy(_mosq);
    }

    // Called on the client's thread for every message, after it is kept.
    void OnMessage(std::function<void(const Received&)> hook) {
        std::lock_guard lock(_lock);
        _hook = std::move(hook);
    }

    // Waits until `count` messages on topics passing `wanted` have arrived (or 10 s went by) and
    // returns everything received so far.
    std::vector<Received> WaitFor(std::size_t count,
                                  const std::function<bool(const Received&)>& wanted = {}) {
        std::unique_lock lock(_lock);
        _changed.wait_for(lock, std::chrono::seconds(10), [&] {
            std::size_t n = 0;
            for (const Received& r : _received)
                n += !wanted || wanted(r);
            return n >= count;
        });
        return _received;
    }

private:
    static constexpr const char* SyncTopic = "nivaro-test/sync";
    int _syncs = 0;
    mosquitto* _mosq = nullptr;
    std::mutex _lock;
    std::condition_variable _changed;
    bool _subscribed = false;
    std::vector<Received> _received;
    std::function<void(const Received&)> _hook;
};
