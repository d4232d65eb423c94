#pragma once
// Ending the update check's downloads from another thread (the window that closes).

namespace corvane {

// Ends every download running now, at once, and makes those that start afterwards fail
// (DownloadToBuffer then answers DownloadNoConnection).
void AbortDownloads();

}  // namespace corvane
