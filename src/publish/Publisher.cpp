#include "publish/Publisher.h"

#include "history/HistoryData.h"
#include "publish/BrokerAddress.h"
#include "publish/DatasetJson.h"
#include "publish/HaDiscovery.h"
#include "publish/MqttPassword.h"
#include "publish/MqttSession.h"
#include "publish/PublishPlan.h"
#include "publish/PublishTopics.h"
#include "settings/Options.h"

#include <unistd.h>

namespace {

// The login the options describe, or why there is none.
std::string LoginFor(const MqttOptions& options, MqttLogin& login) {
    const ParsedBroker broker = ParseBrokerAddress(options.broker);
    if (!broker.address)
        return broker.error;
    const PasswordLookup password = LookUpPassword(options);
    if (!password.error.empty())
        return password.error;
    login.address = *broker.address;
    login.caFile = options.caFile;
    login.user = options.user;
    login.password = password.password;
    login.clientId = "nivaro-" + (options.deviceId.empty() ? std::string("test") : options.deviceId) + "-" +
                     std::to_string(::getpid());
    login.will = MqttMessage{PublishTopics{options.topicPrefix}.Status(), StatusOffline, 1, true};
    return "";
}

void PrintPlan(std::ostream& out, const PublishPlan& plan) {
    for (const MqttMessage& m : plan.messages)
        out << m.topic << (m.retain ? " (retained)" : "") << " "
            << (m.payload.empty() ? "(empty)" : m.payload) << "\n";
}

} // namespace

PublishReport PublishHistory(const PublishRequest& request, std::span<const CDataset> history) {
    PublishReport report;
    const auto stateFile = PublishStateFile(request.historyFile);
    const PublishStateRead read = ReadPublishState(stateFile);
    if (!read.error.empty()) {
        report.error = read.error;
        return report;
    }
    PublishInputs inputs{request.options,  NIVARO_VERSION, request.transmitters,
                         request.announce, read.state,     request.firstDelivered};
    const PublishPlan plan = PlanPublish(inputs, history, LocalUtcOffsetSeconds);
    report.pending = plan.archived;
    if (request.dryRun) {
        PrintPlan(*request.dryRun, plan);
        report.ok = true;
        return report;
    }

    MqttLogin login;
    std::string error = LoginFor(request.options, login);
    std::size_t acknowledged = 0;
    if (error.empty()) {
        MqttSession session;
        error = session.Connect(login, request.timeout);
        if (error.empty()) {
            const MqttSession::Sent sent = session.Send(plan.messages, request.timeout);
            acknowledged = sent.acknowledged;
            error = sent.error;
            session.Disconnect();
        }
    }

    const PublishState& kept = plan.StateAfter(acknowledged);
    // Only a change is written (a first state file too: it fixes where the archive begins).
    if (!read.state || kept != *read.state) {
        const std::string written = WritePublishState(stateFile, kept);
        if (error.empty())
            error = written;
    }
    const std::string archive = PublishTopics{request.options.topicPrefix}.Archive();
    for (std::size_t i = 0; i < acknowledged; ++i)
        report.archived += plan.messages[i].topic == archive;
    report.pending = plan.archived - report.archived;
    report.ok = error.empty();
    report.error = error;
    return report;
}

std::optional<CDateTime> NewestDatasetTime(const CHistoryData& history) {
    return history.WithDatasets([](const std::vector<CDataset>& datasets) {
        return datasets.empty() ? std::optional<CDateTime>() : datasets.back().GetDateTime();
    });
}

std::string EnsureDeviceId(COptionsImpl& options) {
    MqttOptions mqtt = options.GetMqtt();
    if (mqtt.deviceId.empty()) {
        mqtt.deviceId = NewDeviceId();
        options.SetMqtt(mqtt);
    }
    return mqtt.deviceId;
}

std::string TestConnection(const MqttOptions& options, std::chrono::milliseconds timeout) {
    MqttLogin login;
    std::string error = LoginFor(options, login);
    if (!error.empty())
        return error;
    login.will.reset(); // a test says nothing about the station
    MqttSession session;
    error = session.Connect(login, timeout);
    session.Disconnect();
    return error;
}
