// The component's error messages and how they are filled in, and the process-wide
// report of exceptions the component catches (comm_messages.cpp).
#pragma once

#include <exception>
#include <functional>
#include <initializer_list>
#include <string>

namespace serial {

// Fixed formats: %d and %s are filled in order (FillFormat).
inline constexpr const char* kMsgOpen = "Unable to open specified device %s (%d), %s";
inline constexpr const char* kMsgDcb = "Error writing dcb (%d), %s";
inline constexpr const char* kMsgBuffers = "Error initializing buffers (%d), %s";
inline constexpr const char* kMsgTimeouts = "Error setting timeouts (%d), %s";
inline constexpr const char* kMsgEventMask = " Error setting EventMask (%d), %s";
inline constexpr const char* kMsgOpenPort = "Can't perform this operation while port is open";
inline constexpr const char* kMsgQueueFull = "Output buffer is full. Please check comm status.";
inline constexpr const char* kMsgWrite = "Write error (%d), %s";
inline constexpr const char* kMsgRead = "Read error (%d), %s";
inline constexpr const char* kMsgStatus = "Error retrieving statistics (%d), %s";
inline constexpr const char* kMsgWait = "Error waiting for events (%d), %s";

// Fills %d and %s of a fixed message format in order; "%%" is a percent sign.
std::string FillFormat(const std::string& format, std::initializer_list<std::string> args);

// The application's standard exception report, used where the component catches an
// exception from an event handler. Process-wide; the default writes to stderr.
using ExceptionReport = std::function<void(std::exception_ptr)>;
void SetExceptionReport(ExceptionReport report);
void ReportException(std::exception_ptr error);

}  // namespace serial
