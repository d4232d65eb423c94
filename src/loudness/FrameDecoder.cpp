#include "loudness/FrameDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/samplefmt.h>
}

namespace corvane {

const char* ChannelRoleName(TChannelRole Role) {
  static const char* const Names[] = {"L", "R", "C", "LFE", "Ls", "Rs", "Lrs", "Rrs", "S", "other"};
  const auto Index = static_cast<size_t>(Role);
  return Index < std::size(Names) ? Names[Index] : "other";
}

namespace {

std::string AvErrorText(int Code) {
  char Text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(Code, Text, sizeof Text);
  return Text;
}

// The role of each channel of a decoded layout. Back channels are the surrounds of a layout
// without side channels (how a decoder may name the surrounds of 5.1), and rear ones beside them.
std::vector<TChannelRole> RolesOf(const AVChannelLayout& Layout) {
  const bool Sides = av_channel_layout_index_from_channel(&Layout, AV_CHAN_SIDE_LEFT) >= 0 ||
                     av_channel_layout_index_from_channel(&Layout, AV_CHAN_SIDE_RIGHT) >= 0;
  std::vector<TChannelRole> Roles;
  for (int Index = 0; Index < Layout.nb_channels; ++Index) {
    switch (av_channel_layout_channel_from_index(&Layout, static_cast<unsigned>(Index))) {
      case AV_CHAN_FRONT_LEFT: Roles.push_back(TChannelRole::Left); break;
      case AV_CHAN_FRONT_RIGHT: Roles.push_back(TChannelRole::Right); break;
      case AV_CHAN_FRONT_CENTER: Roles.push_back(TChannelRole::Center); break;
      case AV_CHAN_LOW_FREQUENCY: Roles.push_back(TChannelRole::Lfe); break;
      case AV_CHAN_SIDE_LEFT: Roles.push_back(TChannelRole::LeftSurround); break;
      case AV_CHAN_SIDE_RIGHT: Roles.push_back(TChannelRole::RightSurround); break;
      case AV_CHAN_BACK_LEFT: Roles.push_back(Sides ? TChannelRole::LeftBack : TChannelRole::LeftSurround); break;
      case AV_CHAN_BACK_RIGHT: Roles.push_back(Sides ? TChannelRole::RightBack : TChannelRole::RightSurround); break;
      case AV_CHAN_BACK_CENTER: Roles.push_back(TChannelRole::BackSurround); break;
      default: Roles.push_back(TChannelRole::Other); break;
    }
  }
  return Roles;
}

std::string SampleFormatName(int Format) {
  const char* Name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(Format));
  return Name != nullptr ? Name : std::to_string(Format);
}

}  // namespace

struct TFrameDecoder::TState {
  AVCodecContext* Context = nullptr;
  AVPacket* Packet = nullptr;
  AVFrame* Frame = nullptr;
  ~TState() {
    av_frame_free(&Frame);
    av_packet_free(&Packet);
    avcodec_free_context(&Context);
  }
};

TFrameDecoder::TFrameDecoder(bool EAC3, double DrcScale) : FState(std::make_unique<TState>()) {
  // The decoder's own messages would repeat on stderr what the measurement reports as findings.
  av_log_set_level(AV_LOG_QUIET);
  const AVCodec* Codec = avcodec_find_decoder(EAC3 ? AV_CODEC_ID_EAC3 : AV_CODEC_ID_AC3);
  FState->Context = Codec != nullptr ? avcodec_alloc_context3(Codec) : nullptr;
  FState->Packet = av_packet_alloc();
  FState->Frame = av_frame_alloc();
  if (FState->Context == nullptr || FState->Packet == nullptr || FState->Frame == nullptr) {
    FSetupError = "libavcodec has no AC-3 or E-AC-3 decoder";
    return;
  }
  FState->Context->request_sample_fmt = AV_SAMPLE_FMT_FLTP;
  AVDictionary* Options = nullptr;
  av_dict_set(&Options, "drc_scale", std::to_string(DrcScale).c_str(), 0);
  const int Status = avcodec_open2(FState->Context, Codec, &Options);
  av_dict_free(&Options);
  if (Status < 0) FSetupError = "the decoder cannot be opened: " + AvErrorText(Status);
}

TFrameDecoder::~TFrameDecoder() = default;

void TFrameDecoder::Restart() {
  if (FSetupError.empty()) avcodec_flush_buffers(FState->Context);
}

bool TFrameDecoder::Send(const uint8_t* Data, int32_t Size, std::string& Error) {
  Error.clear();
  if (!FSetupError.empty()) {
    Error = FSetupError;
    return false;
  }
  // The packet refers to the caller's bytes; the decoder copies what it keeps.
  AVPacket* Packet = FState->Packet;
  av_packet_unref(Packet);
  Packet->data = const_cast<uint8_t*>(Data);
  Packet->size = Size;
  const int Status = avcodec_send_packet(FState->Context, Packet);
  Packet->data = nullptr;
  Packet->size = 0;
  if (Status < 0) {
    Error = AvErrorText(Status);
    // Whatever it still held is of no use after a refused packet.
    avcodec_flush_buffers(FState->Context);
    return false;
  }
  return true;
}

bool TFrameDecoder::Receive(std::string& Error) {
  AVFrame* Frame = FState->Frame;
  av_frame_unref(Frame);
  const int Status = avcodec_receive_frame(FState->Context, Frame);
  if (Status == AVERROR(EAGAIN) || Status == AVERROR_EOF) return false;
  if (Status < 0) {
    Error = AvErrorText(Status);
    return false;
  }
  if (Frame->format != AV_SAMPLE_FMT_FLTP) {
    Error = "the decoder gave samples as " + SampleFormatName(Frame->format);
    return false;
  }
  FAudio.SampleRate = Frame->sample_rate;
  FAudio.Samples = Frame->nb_samples;
  FAudio.Roles = RolesOf(Frame->ch_layout);
  FAudio.Planes.resize(FAudio.Roles.size());
  for (size_t Channel = 0; Channel < FAudio.Planes.size(); ++Channel)
    FAudio.Planes[Channel] = reinterpret_cast<const float*>(Frame->extended_data[Channel]);
  return true;
}

}  // namespace corvane
