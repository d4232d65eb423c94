#pragma once
// Whole AC-3 and E-AC-3 frames to PCM with libavcodec: planar float samples and what each
// channel is, for the measurement. Dynamic range gains are not applied unless asked for.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

// A decoded channel as BS.1770 weighs it; the LFE channel is not measured.
enum class TChannelRole : uint8_t {
  Left, Right, Center, Lfe, LeftSurround, RightSurround,
  LeftBack, RightBack,  // behind the surrounds, where both pairs are there
  BackSurround,         // the one surround channel of 2/1 and 3/1
  Other,                // any further channel, weighed as a front channel
  Count
};

// The name a report gives the channel ("L", "C", "Ls", "LFE", ...).
const char* ChannelRoleName(TChannelRole Role);

// One decoded packet: Samples samples of each channel at SampleRate, Planes[c] of channel c.
struct TDecodedAudio {
  int32_t SampleRate = 0;
  int32_t Samples = 0;
  std::vector<const float*> Planes;
  std::vector<TChannelRole> Roles;
};

class TFrameDecoder {
 public:
  // DrcScale 0 leaves out the streams' dynamic range gains; 1 applies them fully.
  explicit TFrameDecoder(bool EAC3, double DrcScale = 0.0);
  ~TFrameDecoder();
  TFrameDecoder(const TFrameDecoder&) = delete;
  TFrameDecoder& operator=(const TFrameDecoder&) = delete;

  // Empty when the decoder is ready; otherwise why it could not be set up.
  const std::string& SetupError() const { return FSetupError; }

  // Forgets the audio decoded so far: the next packet does not follow the last one.
  void Restart();

  // Decodes one packet (an AC-3 frame, or an E-AC-3 independent frame with its dependent
  // frames) and hands each decoded block of audio to Sink. False, with Error saying why, when
  // the decoder refused the packet or its output; the decoder stays usable.
  template <typename TSink>
  bool Decode(const uint8_t* Data, int32_t Size, TSink&& Sink, std::string& Error) {
    if (!Send(Data, Size, Error)) return false;
    while (Receive(Error)) Sink(FAudio);
    return Error.empty();
  }

 private:
  bool Send(const uint8_t* Data, int32_t Size, std::string& Error);
  // True while a decoded block is in FAudio; at the end of the packet's output false with Error
  // empty, on a failure false with Error set.
  bool Receive(std::string& Error);

  struct TState;
  std::unique_ptr<TState> FState;
  TDecodedAudio FAudio;
  std::string FSetupError;
};

}  // namespace corvane
