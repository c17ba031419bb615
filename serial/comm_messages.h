// The component's error messages. Fixed formats: %d and %s are filled in order.
#pragma once

namespace serial {

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

}  // namespace serial
