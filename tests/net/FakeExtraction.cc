#include "FakeExtraction.h"

#include <memory>

namespace qel::test {
namespace {

class TFakeExtraction final : public TPackExtraction {
 public:
  TFakeExtraction(TExtractionRun* run, bool succeed) : Run_(run), Succeed_(succeed) {}
  ~TFakeExtraction() override { Run_->Destroyed = true; }

  bool Finished() const override { return Run_->Finished; }
  bool Succeeded() const override { return Run_->Succeeded; }
  void WaitUntilFinished() override {
    Run_->Waited = true;
    if (!Run_->Finished) Run_->Finish(Succeed_);
  }

 private:
  TExtractionRun* Run_;
  bool Succeed_;
};

}  // namespace

void TExtractionRun::Finish(bool succeeded) {
  Pack.assign(reinterpret_cast<const char*>(Source.data()), Source.size());
  if (succeeded && AfterWriting) AfterWriting();
  Succeeded = succeeded;
  Finished = true;
}

TPackExtractionStarter TScriptedExtractions::Starter() {
  return [this](TPackExtractionJob job) {
    TExtractionRun& run = Runs.emplace_back();
    run.DestDir = job.DestDir;
    run.GameGuid = job.GameGuid;
    run.Source = job.Pack;
    run.SignedDigest = job.SignedDigest;
    if (job.BeforeWriting) job.BeforeWriting();
    run.AfterWriting = std::move(job.AfterWriting);
    if (FinishAtOnce) run.Finish(Succeed);
    return std::make_unique<TFakeExtraction>(&run, Succeed);
  };
}

}  // namespace qel::test
