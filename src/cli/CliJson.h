#pragma once
// JSON forms of the viewer's data for corvane-cli --json.

#include <nlohmann/json.hpp>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "core/TreeModel.h"
#include "viewer/FrameWindow.h"

namespace corvane::cli {

using TJson = nlohmann::ordered_json;

// Every decoded syncinfo()/bsi() element of a record, by its A/52 name, in syntax order.
TJson HeaderJson(const TAC3Frame& Frame);
TJson HeaderJson(const TAC3PlusFrame& Frame);
// One frame of the list: offset, length, the row's five texts by column and the header.
template <typename TFrame>
TJson FrameJson(const TFrame& Frame);
// The tree's top-level nodes, each {"text", "children"}.
TJson TreeJson(const TTreeModel& Tree);
// Text to JSON; a text that is not valid UTF-16 keeps what can be kept.
TJson TextJson(const std::u16string& Text);
// Serialises without failing on a path or text that is not valid UTF-8.
std::string Dump(const TJson& Json);

}  // namespace corvane::cli
