#pragma once
// Where a batch's sessions take their drafts when the list is not theirs
// alone: a night that several computers share hands each free session the
// next draft that no computer holds, for as long as the night has one.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "batch/StoreGuard.h"

namespace kestrow {

struct DraftRecord;

class DraftSource {
public:
    virtual ~DraftSource() = default;
    // The index in the batch's list of the next draft for a free session;
    // waits while every draft left is in other computers' hands. Nullopt
    // when none is left, when `stop` is set, or when the source can go on
    // no longer.
    virtual std::optional<std::int32_t> Next(const std::atomic<bool>& stop) = 0;
    // Whether the draft taken as `index` may still be stored, for as long as
    // it is in hand.
    virtual std::shared_ptr<const StoreGuard> GuardOf(std::int32_t index) = 0;
    // A draft handed out only to be recorded failed at once, without being
    // opened, and why: one that computers kept stopping on.
    virtual std::optional<RuntimeError> RefusalOf(std::int32_t index) = 0;
    // The fate of a draft this run took is settled: stored, failed,
    // released to another computer, or not reached after all.
    virtual void Ended(std::int32_t index, const DraftRecord& draft) = 0;
    // Whether more drafts may come, as far as is known without asking.
    virtual bool MayHaveMore() = 0;
};

}  // namespace kestrow
