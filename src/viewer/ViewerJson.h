#pragma once
// JSON forms of the viewer's data: frames, headers, trees and the stream check, as corvane-cli
// --json prints them and the desktop windows save them.

#include <nlohmann/json.hpp>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "core/TreeModel.h"
#include "viewer/FrameWindow.h"
#include "viewer/StreamCheck.h"

namespace corvane {

using TJson = nlohmann::ordered_json;

// Every syncinfo()/bsi() field (and audfrm() and the first block's start) the last decode into the record found, in the order read, by its
// A/52 name (with "[n]" for an array element or a block's field): {"value", "offset", "width"},
// the offset and width in bits from the frame's first bit, and for a gain word its gain in
// "db". A field the frame does not carry is left out; a value the decoder sets without reading
// has no offset and width, and the runs of bits that end a mixing data block ("mixdata") and
// make up E-AC-3's audfrm() ("audfrm") no value.
TJson HeaderJson(const TAC3Frame& Frame);
TJson HeaderJson(const TAC3PlusFrame& Frame);
// One frame of the list: offset, length, the row's five texts by column and the header.
template <typename TFrame>
TJson FrameJson(const TFrame& Frame);
// The tree's top-level nodes, each {"text", "children"}, with "offset" and "width" (in bits
// from the frame's first bit) on the nodes that stand for coded bits.
TJson TreeJson(const TTreeModel& Tree);
// One finding of the stream check: {"offset", "type": "problem" or "change", ...}, with the
// problem's name and figures, or the changed parameter with its values "from" and "to"; "text"
// is the finding's readable form.
TJson FindingJson(const TStreamFinding& Finding);
// Gains in dB: {"frames", "min", "max", "mean"}, the figures to 0.01 dB (null without frames).
TJson GainSummaryJson(const TGainSummary& Gains);
// The check's summary: counts, duration, the values seen and the problems by kind.
TJson SummaryJson(const TStreamSummary& Summary);
// Puts the file's name in a JSON document as "file"; a name that had bytes replaced adds
// "file_not_utf8": true.
void PutFileName(TJson& Json, const std::filesystem::path& File);
// Text to JSON; a text that is not valid UTF-16 keeps what can be kept.
TJson TextJson(const std::u16string& Text);
// Serialises without failing on a path or text that is not valid UTF-8.
std::string Dump(const TJson& Json);

}  // namespace corvane
