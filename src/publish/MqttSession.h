#pragma once

#include "publish/BrokerAddress.h"
#include "publish/MqttMessage.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct mosquitto;

// How to reach and log in to the broker.
struct MqttLogin {
    BrokerAddress address;
    std::string caFile; // mqtts: the authority to trust; empty: the system's certificates
    std::string user;
    std::optional<std::string> password;
    std::string clientId;
    std::optional<MqttMessage> will; // what the broker publishes when the connection breaks
};

// One connection to a broker through libmosquitto. The library's network thread talks to the
// broker; the calling thread waits for it with a time limit, so no call blocks for long.
class MqttSession {
public:
    MqttSession();
    ~MqttSession();
    MqttSession(const MqttSession&) = delete;
    MqttSession& operator=(const MqttSession&) = delete;

    // Connects and logs in. An empty string on success, else one line saying why not.
    std::string Connect(const MqttLogin& login, std::chrono::milliseconds timeout);

    // Sends the messages in order and waits for the broker to take them (QoS 1: its
    // acknowledgement; QoS 0: written out). acknowledged counts the messages from the front that
    // the broker surely has: all of them on success; error tells why the rest are not.
    struct Sent {
        std::size_t acknowledged = 0;
        std::string error;
    };
    Sent Send(const std::vector<MqttMessage>& messages, std::chrono::milliseconds stallTimeout);

    // A clean goodbye: the broker does not publish the last will.
    void Disconnect();

private:
    void OnConnect(int code);
    void OnDisconnect(int code);
    void OnPublish(int mid);
    void Stop();

    mosquitto* m_mosq = nullptr;
    bool m_loopRunning = false;
    std::mutex m_lock;
    std::condition_variable m_changed;
    // Guarded by m_lock: written by the library's thread.
    std::optional<int> m_connack;
    std::optional<std::string> m_disconnect; // why the connection ended
    std::set<int> m_published;
};
