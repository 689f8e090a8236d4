#pragma once
// The tracked fleet over the control interface:
//
//   GET /api/v1/flotta                  devices, reports sent and skipped, each server
//   GET /api/v1/flotta/{id}             one device: position, course, speed, last report
//   PUT /api/v1/flotta?verso=traccar:127.0.0.1:5023   body: a fleet file (CSV or JSON),
//       in place of the fleet that reports there

#include <QJsonObject>
#include <optional>
#include <string>
#include <variant>

#include "control/control_api.h"
#include "control/control_target.h"

namespace vadrel {

QJsonObject tracker_json(const TrackerOverview& overview);
QJsonObject tracked_device_json(const TrackedDeviceView& device);

// The answer of a fleet's route read at once; nothing for the other actions
// and for a PUT, whose body is read aside (BodyToRead).
std::optional<ApiReply> fleet_answer(Action action, const QString& id, ControlTarget& target);
// The server a PUT names (?verso=), or its refusal.
std::variant<ApiReply, std::string> fleet_destination(const ApiRequest& request);
// A PUT's fleet read: put in place, and the answer.
ApiReply fleet_replaced(ControlTarget& target, const ControlTarget::BodyPlay& put);

}  // namespace vadrel
