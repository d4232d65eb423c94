#pragma once
// HTTP download of small texts into a caller's buffer, for the update check. Runs its own
// event loop, so it may be called from any thread that has no event loop running (the
// update worker); a QCoreApplication must exist.

#include <chrono>
#include <cstdint>
#include <string>

#include "product/DownloadCancel.h"

namespace corvane {

// Results of DownloadToBuffer.
inline constexpr int32_t DownloadOK = 0;
inline constexpr int32_t DownloadUnexpectedFailure = -1;
inline constexpr int32_t DownloadNoConnection = -2;  // no network access could be set up
inline constexpr int32_t DownloadOpenFailed = -3;    // the address could not be fetched
inline constexpr int32_t DownloadTooLarge = -4;      // the announced length exceeds the capacity
inline constexpr int32_t DownloadReadFailed = -5;    // the transfer broke off
inline constexpr int32_t DownloadCancelled = -6;     // the caller's cancel was raised

// Every download ends within this time, so that nobody waiting for it can hang on a network
// that does not answer.
inline constexpr std::chrono::milliseconds DefaultDownloadTimeLimit{10000};
std::chrono::milliseconds DownloadTimeLimit();
// Changes the time limit for the downloads that start afterwards; returns the old limit.
std::chrono::milliseconds SetDownloadTimeLimit(std::chrono::milliseconds Limit);

// Fetches Url afresh (never from a cache), with the agent name "Halvern Updater" and the
// system's proxy settings. Count is the buffer's capacity on entry and the number of bytes
// received on return. The buffer is zeroed first; a body of unannounced length is cut at the
// capacity. Returns one of the results above. When Cancel is given, raising it from any thread
// ends the transfer within a few milliseconds, whatever the network does (DownloadCancelled).
int32_t DownloadToBuffer(const std::u16string& Url, uint8_t* Buffer, int32_t& Count,
                         TDownloadCancel* Cancel = nullptr);

}  // namespace corvane
