#include "publish/PublishPlan.h"

#include "history/TransmittersPresent.h"
#include "publish/DatasetJson.h"
#include "publish/HaDiscovery.h"

#include <algorithm>

PublishPlan PlanPublish(const PublishInputs& inputs, std::span<const CDataset> history,
                        const UtcOffsetAt& utcOffset) {
    const MqttOptions& options = inputs.options;
    const PublishTopics topics{options.topicPrefix};
    PublishPlan plan;
    plan.initial.delivered = inputs.state ? inputs.state->delivered : inputs.firstDelivered;
    plan.initial.announcedTransmitters = inputs.state ? inputs.state->announcedTransmitters : std::nullopt;
    PublishState state = plan.initial;
    const auto add = [&](MqttMessage message) {
        plan.messages.push_back(std::move(message));
        plan.stateAfter.push_back(state);
    };

    add({topics.Status(), StatusOnline, 1, true});

    if (options.discovery && (inputs.announce || state.announcedTransmitters != inputs.transmitters)) {
        DiscoverySetup setup{options.discoveryPrefix, topics, options.deviceId, options.importIntervalMinutes,
                             inputs.softwareVersion};
        for (MqttMessage& message : DiscoveryMessages(setup, inputs.transmitters))
            add(std::move(message));
        // Announced once the broker has the last of them.
        plan.stateAfter.back().announcedTransmitters = inputs.transmitters;
        state.announcedTransmitters = inputs.transmitters;
    }

    auto first = history.begin();
    if (plan.initial.delivered)
        first =
            std::upper_bound(history.begin(), history.end(), *plan.initial.delivered,
                             [](const CDateTime& time, const CDataset& d) { return time < d.GetDateTime(); });
    for (auto it = first; it != history.end(); ++it) {
        if (it->IsInvalid())
            continue;
        state.delivered = it->GetDateTime();
        add({topics.Archive(), DatasetJson(*it, inputs.transmitters, utcOffset(it->GetDateTime())), 1,
             false});
        ++plan.archived;
    }

    const auto newest =
        std::find_if(history.rbegin(), history.rend(), [](const CDataset& d) { return !d.IsInvalid(); });
    if (newest != history.rend())
        add({topics.State(), DatasetJson(*newest, inputs.transmitters, utcOffset(newest->GetDateTime())), 1,
             true});
    return plan;
}

int PublishedTransmitters(int countOption, std::span<const CDataset> history) {
    return PublishedTransmitters(countOption,
                                 countOption >= 0 && countOption <= 5 ? 0 : TransmittersWithValues(history));
}

int PublishedTransmitters(int countOption, int transmittersWithValues) {
    return countOption >= 0 && countOption <= 5 ? countOption : transmittersWithValues;
}
