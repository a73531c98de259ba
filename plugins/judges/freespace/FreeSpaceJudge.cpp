// freespace: judges the disk probe's figures. Answers 1 when the working folder's
// volume has less free space than its "MinimumFreePercent" setting (1 by
// default), and 0 otherwise, including when the probe could not measure.
#include <cstdint>

#include "ulmora/Ulmora.h"

namespace {

const uint32_t kFreeSpaceJudge = 2001;
const uint32_t kMinimumFreePercentID = 1;
const uint32_t kLowOnSpace = 1;

// The setting outlives every instance: the application keeps a pointer to
// the list after the instance that offered it is gone.
struct Settings {
    Settings()
    {
        list.SetName("freespace");
        list.AddParameterFloat(kMinimumFreePercentID, "MinimumFreePercent",
                               "Free space, in percent of the volume, below which the disk is judged low",
                               &minimumFreePercent, nullptr);
    }
    float minimumFreePercent = 1.0f;
    ParameterList list;
};

Settings g_Settings;

class FreeSpaceJudge : public Ulmora::IInterpreter {
public:
    ParameterList* GetParameterList() override { return &g_Settings.list; }

    uint32_t Interpret(const Ulmora::IResultDatabase* database) override
    {
        try {
            if (!database->GetBool("disk.known", 0))
                return 0;
            const double capacity = static_cast<double>(database->GetUInt64("disk.capacity.mib", 0));
            const double available = static_cast<double>(database->GetUInt64("disk.available.mib", 0));
            if (capacity <= 0)
                return 0;
            return available * 100.0 / capacity < g_Settings.minimumFreePercent ? kLowOnSpace : 0;
        } catch (const Ulmora::ResultDBException&) {
            return 0;  // no disk figures in this run: nothing to judge
        }
    }

    void SaveResults() override {}
};

} // namespace

ULMORA_JUDGE(FreeSpaceJudge, "freespace", kFreeSpaceJudge, 1)
