#include "loudness/LoudnessMeter.h"

#include <ebur128.h>

#include <cmath>

namespace corvane {
namespace {

// The BS.1770 place of each role: weight 1.41 for the surrounds beside the listener, 1.0 for
// the front and for channels behind (at 135 and 180 degrees), none for the LFE channel.
int Ebur128Channel(TChannelRole Role, size_t Index) {
  switch (Role) {
    case TChannelRole::Left: return EBUR128_LEFT;
    case TChannelRole::Right: return EBUR128_RIGHT;
    case TChannelRole::Center: return EBUR128_CENTER;
    case TChannelRole::Lfe: return EBUR128_UNUSED;
    case TChannelRole::LeftSurround: return EBUR128_LEFT_SURROUND;
    case TChannelRole::RightSurround: return EBUR128_RIGHT_SURROUND;
    case TChannelRole::LeftBack: return EBUR128_Mp135;
    case TChannelRole::RightBack: return EBUR128_Mm135;
    case TChannelRole::BackSurround: return EBUR128_Mp180;
    default: return Index % 2 == 0 ? EBUR128_Mp030 : EBUR128_Mm030;
  }
}

constexpr int Modes = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_S | EBUR128_MODE_HISTOGRAM;

// One of libebur128's loudness figures, or minus infinity where it has none.
template <typename TQuery>
double Figure(ebur128_state* Meter, TQuery Query) {
  double Value = -HUGE_VAL;
  return Meter != nullptr && Query(Meter, &Value) == EBUR128_SUCCESS ? Value : -HUGE_VAL;
}

}  // namespace

struct TLoudnessMeter::TState {
  ebur128_state* Meter = nullptr;
  ~TState() {
    if (Meter != nullptr) ebur128_destroy(&Meter);
  }
};

TLoudnessMeter::TLoudnessMeter() : FState(std::make_unique<TState>()) {}

TLoudnessMeter::~TLoudnessMeter() = default;

bool TLoudnessMeter::Configure(int32_t SampleRate, const std::vector<TChannelRole>& Roles) {
  const auto Channels = static_cast<unsigned>(Roles.size());
  if (FState->Meter == nullptr) {
    FState->Meter = ebur128_init(Channels, static_cast<unsigned long>(SampleRate), Modes);
    if (FState->Meter == nullptr) return false;
  } else {
    // Keeps the gating blocks measured so far; only the block under way is lost.
    const int Status = ebur128_change_parameters(FState->Meter, Channels, static_cast<unsigned long>(SampleRate));
    if (Status != EBUR128_SUCCESS && Status != EBUR128_ERROR_NO_CHANGE) return false;
  }
  for (size_t Index = 0; Index < Roles.size(); ++Index)
    if (ebur128_set_channel(FState->Meter, static_cast<unsigned>(Index), Ebur128Channel(Roles[Index], Index)) != EBUR128_SUCCESS)
      return false;
  FSampleRate = SampleRate;
  FRoles = Roles;
  return true;
}

bool TLoudnessMeter::Add(const float* Interleaved, int32_t Frames, int32_t SampleRate,
                         const std::vector<TChannelRole>& Roles) {
  if (Roles.empty() || SampleRate <= 0) return false;
  if ((FState->Meter == nullptr || SampleRate != FSampleRate || Roles != FRoles) && !Configure(SampleRate, Roles)) return false;
  return ebur128_add_frames_float(FState->Meter, Interleaved, static_cast<size_t>(Frames)) == EBUR128_SUCCESS;
}

double TLoudnessMeter::Integrated() const { return Figure(FState->Meter, ebur128_loudness_global); }

double TLoudnessMeter::Range() const { return Figure(FState->Meter, ebur128_loudness_range); }

double TLoudnessMeter::Momentary() const { return Figure(FState->Meter, ebur128_loudness_momentary); }

double TLoudnessMeter::ShortTerm() const { return Figure(FState->Meter, ebur128_loudness_shortterm); }

}  // namespace corvane
