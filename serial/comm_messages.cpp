#include "serial/comm_messages.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace serial {

namespace {

std::mutex& ReportMutex()
{
    static std::mutex m;
    return m;
}
ExceptionReport& ReportHook()
{
    static ExceptionReport hook;
    return hook;
}

}  // namespace

std::string FillFormat(const std::string& format, std::initializer_list<std::string> args)
{
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            const char k = format[i + 1];
            if (k == '%') {
                out += '%';
                ++i;
                continue;
            }
            if ((k == 'd' || k == 's') && next != args.end()) {
                out += *next++;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

void SetExceptionReport(ExceptionReport report)
{
    std::lock_guard lock(ReportMutex());
    ReportHook() = std::move(report);
}

void ReportException(std::exception_ptr error)
{
    ExceptionReport hook;
    {
        std::lock_guard lock(ReportMutex());
        hook = ReportHook();
    }
    if (hook) {
        hook(error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "unknown exception\n");
    }
}

}  // namespace serial
