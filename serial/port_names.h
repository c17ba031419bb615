// Resolution of DOS-style port names ("COM3") to device paths and back.
// A folder of links (comN -> device) lets the user name any device as a COM port;
// without a link the fixed table ttyS / ttyUSB / ttyACM applies.
#pragma once

#include <string>

namespace serial {

// The folder of COM links: $SOVIKAN_PORTS_DIR, else $XDG_RUNTIME_DIR/sovikan/ports,
// else /tmp/sovikan-<uid>/ports.
std::string PortsFolder();

// A name containing '/' is returned unchanged. "COMn" (any case) resolves to the link
// "comn" in the folder when it exists, otherwise COM1-32 -> /dev/ttyS0-31,
// COM33-64 -> /dev/ttyUSB0-31, COM65-96 -> /dev/ttyACM0-31. Anything else is
// returned unchanged (and will fail to open).
std::string ResolveDevicePath(const std::string& name);
std::string ResolveDevicePath(const std::string& name, const std::string& portsFolder);

// The COM number of a device: a link comN in the folder whose target is the same
// device, else the fixed table; -1 when the device has no number.
int ComNumberForDevice(const std::string& devicePath);
int ComNumberForDevice(const std::string& devicePath, const std::string& portsFolder);

// The name CreateFile is given for a device path on Windows: a bare "COMn" (any case)
// becomes "\\.\COMn", since Windows opens COM10 and above only under that name (and
// every COM port under it); anything else is returned unchanged.
std::string Win32DevicePath(const std::string& name);

}  // namespace serial
