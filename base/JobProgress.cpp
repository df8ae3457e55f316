#include "JobProgress.h"

namespace {

class TNoProgress : public TJobProgress {
public:
    void Begin() override {}
    void Report(int64_t, int64_t) override {}
    void End() override {}
};

} // namespace

TJobProgress& NoProgress()
{
    static TNoProgress none;
    return none;
}
