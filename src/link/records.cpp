#include "link/records.h"

namespace vx {

RecordSnapshot snapshot(const RecordArea& area, RecordKind kind) {
    switch (kind) {
#define VX_RECORD_CASE(k, type, member, name)                                                      \
    case RecordKind::k:                                                                            \
        return RecordSnapshot(std::in_place_type<type>, area.member);
        VX_RECORD_LIST(VX_RECORD_CASE)
#undef VX_RECORD_CASE
    case RecordKind::None:
        break;
    }
    return {};
}

std::string_view recordName(RecordKind kind) {
    switch (kind) {
#define VX_RECORD_CASE(k, type, member, name)                                                      \
    case RecordKind::k:                                                                            \
        return name;
        VX_RECORD_LIST(VX_RECORD_CASE)
#undef VX_RECORD_CASE
    case RecordKind::None:
        break;
    }
    return "none";
}

// The snapshot's alternative index is the kind: both come from the same list in the same order.
#define VX_RECORD_CHECK(k, type, member, name)                                                     \
    static_assert(                                                                                 \
        std::is_same_v<std::variant_alternative_t<size_t(RecordKind::k), RecordSnapshot>, type>);
VX_RECORD_LIST(VX_RECORD_CHECK)
#undef VX_RECORD_CHECK

} // namespace vx
