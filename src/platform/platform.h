// The seam between the core and the operating system: every service the core needs, as plain functions.
#pragma once
#include <cstdint>

// A file handle; NoFile (-1) means none, 0 is also never a live handle.
using FileHandle = intptr_t;
inline constexpr FileHandle NoFile = -1;
using WindowHandle = void*;
using ModuleHandle = void*;

inline bool IsOpenFile(FileHandle handle) { return handle != 0 && handle != NoFile; }

// ---- the installer's own file (read only; _lopen family on Win32) ----
enum class SeekOrigin { Start, Current, End };
FileHandle OpenFileForReading(const char* path);
// Returns the new position, or -1 when the seek fails.
int32_t SeekFile(FileHandle file, int32_t offset, SeekOrigin origin);
// Returns the number of bytes read, or -1 on failure.
int32_t ReadFile(FileHandle file, void* buffer, uint32_t count);
void CloseReadFile(FileHandle file);

// ---- output files (CreateFileA family on Win32) ----
FileHandle CreateOutputFile(const char* path);
// Returns false when the call fails; written receives the count the system accepted.
bool WriteOutputFile(FileHandle file, const void* data, uint32_t length, uint32_t* written);
bool CloseOutputFile(FileHandle file);
bool DeleteFileAt(const char* path);

// ---- memory (zero-initialised local heap) ----
void* AllocateZeroed(uint32_t size);
void ReleaseMemory(void* block);

// ---- process and system ----
uint32_t GetModulePath(ModuleHandle module, char* buffer, uint32_t capacity);
// False also when the query itself fails.
bool IsRunningOnWin32s();
uint32_t GetCurrentDirectoryPath(char* buffer, uint32_t capacity);
uint32_t GetWindowsDirectoryPath(char* buffer, uint32_t capacity);
uint32_t GetSystemDirectoryPath(char* buffer, uint32_t capacity);
// As GetEnvironmentVariableA: the length copied, the size needed when capacity is too small, 0 when unset.
uint32_t GetEnvironmentValue(const char* name, char* buffer, uint32_t capacity);
// As SearchPathA with the default search order: the length of the found path, or the size needed, or 0.
uint32_t SearchFilePath(const char* fileName, char* buffer, uint32_t capacity);
bool CreateFolder(const char* path);
// Maximum file-name component length of the volume at root ("C:\"), or of the current one when root is null;
// 0 when the query fails.
uint32_t GetMaxComponentLength(const char* root);
bool IsLeadByte(uint8_t byte);
[[noreturn]] void EndProcess(int status);

// ---- user interface ----
enum class MessageStyle { Error, QuestionYesNo, QuestionYesNoCancel, Warning };
enum class MessageAnswer { Ok, Yes, No, Cancel };
MessageAnswer ShowMessageBox(WindowHandle owner, const char* text, const char* caption, MessageStyle style);
void SetControlText(WindowHandle dialog, int controlId, const char* text);
// Handles every message waiting in the thread's queue, giving dialog messages to the dialog first.
void PumpMessages(WindowHandle dialog);
// Shows the install dialog modally; returns its result, or -1 when it cannot be created.
intptr_t RunInstallDialog();
