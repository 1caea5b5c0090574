// The one record of all process state, and the process-wide variables beside it.
#pragma once
#include <cstdint>

#include "archive/format.h"
#include "platform/platform.h"

struct WorkArea {
  uint32_t InputPos;          // next unread byte of InputBuffer; >= 16,384 means empty
  uint32_t WindowSize;
  uint32_t UncompressedSize;
  uint32_t CompressedLeft;
  uint32_t BytesDone;
  uint32_t WindowFill;
  int32_t ErrorFlag;
  uint32_t ArchiveLength;
  int32_t CancelRequested;
  int32_t Extracting;
  WindowHandle DialogWindow;
  FileHandle ArchiveFile;
  FileHandle OutputFile;
  uint8_t* HeaderCrcField;
  const uint8_t* DirNameField;
  const uint8_t* FileNameField;
  uint16_t CrcTable[256];
  uint16_t StoredHeaderCrc;
  uint16_t EntryAttributes;
  uint16_t DirNameLength;
  uint16_t FileNameLength;
  uint16_t RunningCrc;
  uint16_t BlockLeft;
  uint16_t TreeLeft[1019];
  uint16_t TreeRight[1019];
  uint16_t LitLenTable[4096];
  uint16_t PtTable[256];
  uint16_t PositionCodes;
  uint16_t PositionBits;
  uint16_t CheckWord;
  uint16_t BitBuf;
  uint8_t SubBitBuf;
  uint8_t BitCount;
  uint8_t CaptureMode;        // 0 drop, 1 ScratchText ("!"), 2 ScriptText ("$")
  SettingsBlock Settings;
  uint8_t* HeaderBuffer;
  uint32_t CreationTime;
  uint32_t AccessTime;
  uint32_t WriteTime;
  uint8_t Window[65536];
  char EntryName[260];
  uint8_t LitLenLengths[510];
  uint8_t PtLengths[128];
  char ModulePath[260];
  char OutputPath[516];
  char DestinationDir[256];
  uint8_t InputBuffer[16384];
  char ScratchText[1024];
  char ScriptText[4096];
  char WindowTitle[80];
  char InstallTitle[80];
};

inline constexpr uint32_t InputBufferSize = sizeof(WorkArea::InputBuffer);
inline constexpr uint32_t WindowBytes = sizeof(WorkArea::Window);

enum CaptureModes : uint8_t { CaptureNone = 0, CapturePrompt = 1, CaptureScript = 2 };

// The process-wide pointer to the WorkArea; tests point it at a fresh zeroed record.
extern WorkArea* Work;

extern ModuleHandle InstanceHandle;
extern bool RunningOnWin32s;
extern bool AutoStart;
extern bool OverwriteWithoutAsking;
extern bool SkipNotOlder;
extern bool KeepControlsEnabled;
extern uint16_t CheckAccumulator;
extern uint32_t MaxComponentLength;
