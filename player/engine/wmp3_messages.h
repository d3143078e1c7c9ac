#pragma once

// WMp3's last-error texts, character for character as the engine has always stored them (typos
// and the historic operation names included): tools and tests compare them verbatim.

#include <string_view>

namespace pell::wmp3_messages {

inline constexpr std::string_view kCloseBeforeOpen = "You need to close mp3 file before open new one";
inline constexpr std::string_view kCantOpenFile = "WMp3::OpenMp3File\n\nCan't open file";
inline constexpr std::string_view kNoSearchBuffer = "WMp3::_Open\n\nCan't allocate memory for search buffer!";
inline constexpr std::string_view kCantSeekToStart = "WMp3::_Open\n\nCan't seek !";
inline constexpr std::string_view kNoValidFrame = "WMp3::_Open   *** Can't find first valid mp3 frame";
inline constexpr std::string_view kCantMeasure = "WMp3::_Open\n\nCan't seek!!!!!";
inline constexpr std::string_view kBufferTooShort = "WMp3::_Open\n\nBuffer can't be smaller than 200 ms";
inline constexpr std::string_view kCantInitializeOutput = "WMp3::_Open\n\nCan't initialize wave out";
inline constexpr std::string_view kNoInputBuffer = "WMp3::Init\n\nCan't allocate input buffer.";
inline constexpr std::string_view kCantCreateThread = "WMp3::Initialize   *** Can't create thread";
// The decoder could not be made; the library's reason follows.
inline constexpr std::string_view kNoDecoder = "WMp3::PlayingThread   *** Can't create decoder: ";
// Play, Pause, Resume, Seek and GetPosition without a stream.
inline constexpr std::string_view kNotOpen = "WMp3::Play\n\nStrean isn't open!";
// Stop without a stream (spelt correctly there).
inline constexpr std::string_view kStopNotOpen = "WMp3::Play\n\nStream isn't open!";
inline constexpr std::string_view kCantSeek = "WMp3::Seek\n\nCan't seek!";
inline constexpr std::string_view kId3CantSeekToBegin = "WMp3::_GetID3Version\n\nCan't seek to stream begin!";
inline constexpr std::string_view kId3CantReadId3 = "WMp3::_GetID3Version\n\nCan't read ID3!";
inline constexpr std::string_view kId3CantSeekToEnd = "WMp3::_GetID3Version\n\nCan't seek to stream end!";
inline constexpr std::string_view kId3CantReadTag = "WMp3::_GetID3Version\n\nCan't read TAG!";

}  // namespace pell::wmp3_messages
