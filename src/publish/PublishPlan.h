#pragma once

#include "publish/MqttMessage.h"
#include "publish/PublishState.h"
#include "settings/MqttOptions.h"
#include "station/Dataset.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What one publish sends, in this order: the status "online" (retained), the discovery configs
// when they are due, every dataset after the delivered one on the archive topic (oldest first,
// QoS 1), and the newest dataset on the state topic (retained).
struct PublishPlan {
    std::vector<MqttMessage> messages;
    // The state to keep once messages[0..i] have reached the broker, for each i; before any has,
    // `initial`.
    std::vector<PublishState> stateAfter;
    PublishState initial;
    std::size_t archived = 0; // archive messages in the plan

    // The state once the broker has taken the first `acknowledged` messages.
    const PublishState& StateAfter(std::size_t acknowledged) const {
        return acknowledged == 0 ? initial : stateAfter[acknowledged - 1];
    }
};

struct PublishInputs {
    MqttOptions options;
    std::string softwareVersion;
    int transmitters = 0;  // outdoor transmitters present, 0..5
    bool announce = false; // send the discovery configs even when they are not due
    // The state file's content; none when there is none yet. Then `firstDelivered` says where
    // the archive begins: after that dataset, or with the first when none is given.
    std::optional<PublishState> state;
    std::optional<CDateTime> firstDelivered;
};

using UtcOffsetAt = std::function<int(const CDateTime&)>;

// history: the history file's datasets in date-time order.
PublishPlan PlanPublish(const PublishInputs& inputs, std::span<const CDataset> history,
                        const UtcOffsetAt& utcOffset);

// The transmitters to publish: the station's last count (0..5), or while none is known (6) the
// highest transmitter with values in the history.
int PublishedTransmitters(int countOption, std::span<const CDataset> history);
// The same from the highest transmitter with values, found while the history streamed past.
int PublishedTransmitters(int countOption, int transmittersWithValues);
