// The station log: with `tonvista --log FILE.csv` every IMD reading the main
// window shows is appended to FILE.csv as one row
//   utc,freq_hz,mode,imd_db,snr_db,call
// (UTC time, the receive frequency and mode at that moment, the reading as
// shown, the S/N in 2500 Hz from the engine's signal level, and the callsign
// last heard after "de" within 10 Hz of that frequency, empty when none).
// A new or empty file gets the header row first.  Off unless opened.
//
// A file that cannot be written is reported once, on stderr (a message box
// would stop the window while readings arrive); the window goes on as
// without a log, and later readings are tried again silently.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

namespace station_log {

// The log file named by "--log FILE" among the program's arguments (nullopt
// without --log); --log without a file name sets *error.
std::optional<std::string> PathFromArguments(int argc, char** argv, std::string* error);

// Starts logging to path; tries the file at once so an unwritable one is
// reported at start.
void Open(const std::string& path);
// Stops logging and forgets the callsigns heard.
void Close();
bool IsOpen();

// Fed by the notification handlers (no-ops while the log is closed).
void ReceivedByte(int32_t byte);  // received text, for the callsigns heard
void ImdReading(int16_t db);      // one row, the reading as the window shows it

// Tests replace the clock and where messages go (stderr by default).
void SetClock(std::function<std::time_t()> now);
void SetMessageSink(std::function<void(const std::string&)> sink);

}  // namespace station_log
