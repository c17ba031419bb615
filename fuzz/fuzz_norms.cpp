// A point's markers in any comment: both norms and the room found, written
// and found again with what was written; the key two surveys' rooms and
// places are matched by, stable; and the natural order of any names a strict
// weak order.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>

#include "protocol/core/comparison.h"
#include "protocol/core/point_markers.h"
#include "protocol/core/natural_order.h"
#include "fuzz_support.h"

namespace {

using fuzz::Require;

std::string Trimmed(std::string s)
{
    s.erase(0, std::min(s.find_first_not_of(" \t"), s.size()));
    s.erase(s.find_last_not_of(" \t") + 1);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 2048)
        return 0;
    FuzzedDataProvider in(data, size);
    const std::string comment = in.ConsumeRandomLengthString(1024);

    for (protocol::Norm norm : {protocol::Norm::Pulsation, protocol::Norm::Illuminance}) {
        const auto found = protocol::FindNormMarker(comment, norm);
        if (found) {
            Require(found->at + found->length <= comment.size());
            Require(comment.compare(found->at, found->length, found->text) == 0);
            Require(!found->value || protocol::InRange(norm, *found->value));
            Require(!protocol::OutOfRangeMarkerText(*found).empty());
        }
        // A norm written is the first one found, at the place of the old one or at the end.
        const double value = norm == protocol::Norm::Pulsation ? in.ConsumeFloatingPointInRange(0.0, 100.0)
                                                               : in.ConsumeFloatingPointInRange(0.001, 100000.0);
        const std::string written = protocol::WithNormMarker(comment, norm, value);
        const auto again = protocol::FindNormMarker(written, norm);
        Require(again && again->value == protocol::ShownLimit(value));
        Require(!found || again->at == found->at);
        const std::size_t kept = found ? found->at : comment.size();
        Require(written.compare(0, kept, comment, 0, kept) == 0);
        // Removed, the comment is shorter by the marker at least.
        const std::string removed = protocol::WithNormMarker(comment, norm, std::nullopt);
        Require(found ? removed.size() + found->length <= comment.size() : removed == comment);
    }

    // A room written is the room found.
    std::string room = in.ConsumeRandomLengthString(64);
    std::replace_if(
        room.begin(), room.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    const std::string withRoom = protocol::WithRoom(comment, room);
    const std::string trimmed = Trimmed(room);
    Require(protocol::FindRoom(withRoom) == (trimmed.empty() ? std::nullopt : std::optional(trimmed)) ||
            (trimmed.empty() && protocol::FindRoom(withRoom).has_value()));
    if (protocol::FindRoom(comment))
        Require(!protocol::FindRoom(protocol::WithRoom(comment, "")) ||
                protocol::WithRoom(comment, "").size() < comment.size());

    // A key is its own key, and blanks around a name change nothing.
    const std::string key = protocol::MatchKey(room);
    Require(protocol::MatchKey(key) == key && protocol::MatchKey(" " + room + "\t ") == key);

    // The natural order: irreflexive, asymmetric, transitive.
    const std::string a = in.ConsumeRandomLengthString(32);
    const std::string b = in.ConsumeRandomLengthString(32);
    const std::string c = in.ConsumeRemainingBytesAsString();
    for (const std::string* x : {&a, &b, &c})
        Require(!protocol::NaturalLess(*x, *x));
    Require(!(protocol::NaturalLess(a, b) && protocol::NaturalLess(b, a)));
    if (protocol::NaturalLess(a, b) && protocol::NaturalLess(b, c))
        Require(protocol::NaturalLess(a, c));
    return 0;
}
