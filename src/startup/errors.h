// The one way failures are shown, and the abort that ends the process from anywhere.
#pragma once

inline constexpr const char* MsgOpenError = "Open ERROR";
inline constexpr const char* MsgReadError = "Read ERROR";
inline constexpr const char* MsgWriteError = "Write ERROR";
inline constexpr const char* MsgCloseError = "Close ERROR";
inline constexpr const char* MsgCrcError = "CRC ERROR";
inline constexpr const char* MsgBadHeader = "Bad header";
inline constexpr const char* MsgBadTable = "Bad table";
inline constexpr const char* MsgUnexpectedEof = "Unexpeted EOF";
inline constexpr const char* MsgTamperedData = "Tampered DATA";
inline constexpr const char* MsgNotEnoughMemory = "Not enough memory";

// Shows "\"path\" message" in a task-modal error box owned by DialogWindow, captioned WindowTitle.
void ShowError(const char* message, const char* path);
// Shows "Not enough memory" as plain text, owned by DialogWindow, captioned WindowTitle.
void ShowOutOfMemory();
// Closes and deletes a half-written output file, closes the archive and ends the process.
[[noreturn]] void FatalAbort(int status);
