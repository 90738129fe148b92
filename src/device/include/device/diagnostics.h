#pragma once
// Diagnostics of the device layer: the debug log, the check of Direct3D
// results, and the names of result codes and pixel formats.
//
// One process-wide log "Korvane_DebugLog.txt": every device component,
// texture, buffer, scene and light group writes into it with the same line
// counter and nesting level. Each line is "#%.5d | %s%s" (number, two blanks per
// LogLevel step, message) ended by CR LF, written in UTF-8. The file is opened
// and closed for every line; the first line of a run truncates it.
//
// Where the log goes: the folder of the running executable. For an installed
// program (base/installation.h), or when that folder is not writable, the log
// goes to $XDG_STATE_HOME/wardrobix/ (default ~/.local/state/wardrobix/),
// created on demand. SetLogFolder points the log elsewhere (tests).
//
// Failures to create, open or write the file raise EInOutError out of WriteLog
// (and so out of WriteDetailLog, CheckResult and the operation that logged).
// Destructors that log hold a TKVLogFailureGuard, which turns such failures
// into lost lines so that an exception never leaves a destructor.
//
// Halting: under HaltOnErrorSwitch, CheckResult ends the process with exit
// code 0 through std::_Exit once the failure line is closed on disk. _Exit runs
// no atexit handlers and no static destructors, so no further device-layer
// work runs (no release traces, no rebuilds) after the failure.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "base/exception.h"

namespace wbx {

// The log file could not be created, opened or written. The message names the file.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// The three debug options, as ordinals of the set.
enum TKVDebugOptionKind : uint8_t {
    kvoHaltOnError = 0,   // CheckResult ends the program after logging a failure
    kvoDebugMessage = 1,  // WriteLog writes at all
    kvoDetailedLog = 2,   // WriteDetailLog passes its lines on
};

// A set of TKVDebugOptionKind held in one byte: bit 0 halt, bit 1 messages,
// bit 2 detailed log. {} is the empty set.
class TKVDebugOption {
public:
    constexpr TKVDebugOption() = default;
    constexpr TKVDebugOption(std::initializer_list<TKVDebugOptionKind> kinds) {
        for (TKVDebugOptionKind kind : kinds) bits_ |= Bit(kind);
    }
    static constexpr TKVDebugOption FromBits(uint8_t bits) {
        TKVDebugOption option;
        option.bits_ = bits & 0x07;
        return option;
    }
    static constexpr TKVDebugOption All() { return FromBits(0x07); }

    constexpr bool Contains(TKVDebugOptionKind kind) const { return (bits_ & Bit(kind)) != 0; }
    constexpr uint8_t Bits() const { return bits_; }
    constexpr bool operator==(const TKVDebugOption&) const = default;

private:
    static constexpr uint8_t Bit(TKVDebugOptionKind kind) { return static_cast<uint8_t>(1u << kind); }
    uint8_t bits_ = 0;
};

// The switches mirror the last DebugOption assigned to any device component
// (TKorvane::SetDebugOption). All three are on when the program starts.
extern bool HaltOnErrorSwitch;
extern bool DebugMessageSwitch;
extern bool DetailedLogSwitch;

// Nesting depth of the lifecycle trace; two blanks of indentation per step,
// none at 0 or below.
extern int32_t LogLevel;
// Lines written so far in this run; the number of the next line is one more.
extern int32_t LogLineCount;

// Writes one line when DebugMessageSwitch is on. Raises EInOutError when the
// file cannot be created, opened or written; when the create or open fails,
// LogLineCount stays unchanged so the next line tries again.
void WriteLog(const std::string& message);
// WriteLog when DetailedLogSwitch is on.
void WriteDetailLog(const std::string& message);
// Returns code. A nonzero code (a Direct3D result, or the references a Release
// left) logs message + "(Error Code = <ErrorName>)" and, under
// HaltOnErrorSwitch, ends the process with exit code 0.
int32_t CheckResult(int32_t code, const std::string& message);
// CheckResult with the code 1: a failure of the layer's own.
void ReportError(const std::string& message);

// The name of a Direct3D result code; "UNKNOWN ERROR ... $XXXXXXXX" otherwise.
std::string ErrorName(int32_t code);
// The short name of a D3DFORMAT ("A1R5G5B5"); "UNKNOWN" for anything else.
std::string FormatName(uint32_t format);

// Full path of the log file as WriteLog will use it.
std::string LogFileName();
// Puts the log into folder (tests); ResetLogFolder returns to the default.
void SetLogFolder(const std::string& folder);
void ResetLogFolder();
// Back to the state of program start: switches on, LogLevel 0, LogLineCount 0.
// For tests that need the behaviour of a fresh run.
void ResetLogState();

// Raises LogLevel for its lifetime: Leave() lowers it once (before a closing
// line); the destructor lowers it on any other path.
class TKVLogIndent {
public:
    TKVLogIndent() { ++LogLevel; }
    ~TKVLogIndent() { Leave(); }
    TKVLogIndent(const TKVLogIndent&) = delete;
    TKVLogIndent& operator=(const TKVLogIndent&) = delete;
    void Leave() {
        if (active_) --LogLevel;
        active_ = false;
    }

private:
    bool active_ = true;
};

// While one of these lives, a log line that cannot be written is dropped
// instead of raising EInOutError. Destructors that log hold one: C++ would
// terminate on an exception leaving a destructor, and the release of Direct3D
// objects must go on whether or not the log is writable.
class TKVLogFailureGuard {
public:
    TKVLogFailureGuard();
    ~TKVLogFailureGuard();
    TKVLogFailureGuard(const TKVLogFailureGuard&) = delete;
    TKVLogFailureGuard& operator=(const TKVLogFailureGuard&) = delete;
};

}  // namespace wbx
