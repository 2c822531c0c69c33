#include "platform/uikit/AnimationLog.h"

namespace platform {

namespace {

    struct LogState {
        std::vector<AnimationRecord> records;
        // Ids of the records whose change blocks are running, innermost last.
        std::vector<std::uint64_t> open;
        std::uint64_t nextId = 1;
    };

    LogState& state()
    {
        static LogState s;
        return s;
    }

} // namespace

bool AnimationRecord::changed(const std::string& property, const std::string& targetClass) const
{
    for (auto& change : changes) {
        if (change.property == property && (targetClass.empty() || change.targetClass == targetClass))
            return true;
    }
    return false;
}

bool AnimationRecord::changedObject(const Object* target, const std::string& property) const
{
    for (auto& change : changes) {
        auto object = change.target.lock();
        if (object.get() == target && (property.empty() || change.property == property))
            return true;
    }
    return false;
}

const std::vector<AnimationRecord>& AnimationLog::records() { return state().records; }

std::size_t AnimationLog::count() { return state().records.size(); }

const AnimationRecord* AnimationLog::last()
{
    auto& records = state().records;
    return records.empty() ? nullptr : &records.back();
}

void AnimationLog::clear()
{
    // Blocks still running keep their ids; their changes are simply not kept.
    state().records.clear();
}

void AnimationLog::noteChange(std::weak_ptr<Object> weak, const std::string& targetClass, int targetTag,
    const char* property, std::vector<double> from)
{
    auto& s = state();
    if (s.open.empty())
        return;
    auto* found = recordWithId(s.open.back());
    if (!found)
        return;
    auto& record = *found;
    for (auto& change : record.changes) {
        if (change.property == property && change.targetClass == targetClass && change.targetTag == targetTag
            && !change.target.owner_before(weak) && !weak.owner_before(change.target))
            return;
    }
    record.changes.push_back({ weak, targetClass, targetTag, property, std::move(from) });
}

bool AnimationLog::isRecordingChanges() { return !state().open.empty(); }

std::uint64_t AnimationLog::append(AnimationRecord record)
{
    // A long-running program animates without end; the log keeps the latest
    // records only (tests clear it long before this matters).
    auto& records = state().records;
    if (records.size() >= AnimationLog::kCapacity)
        records.erase(records.begin(), records.begin() + long(records.size() / 2));
    record.id = state().nextId++;
    state().records.push_back(std::move(record));
    return state().records.back().id;
}

AnimationRecord* AnimationLog::recordWithId(std::uint64_t id)
{
    auto& records = state().records;
    // Ids grow with the position, so the search starts from the newest.
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->id == id)
            return &*it;
        if (it->id < id)
            break;
    }
    return nullptr;
}

void AnimationLog::pushOpenRecord(std::uint64_t id) { state().open.push_back(id); }

void AnimationLog::popOpenRecord()
{
    if (!state().open.empty())
        state().open.pop_back();
}

} // namespace platform
