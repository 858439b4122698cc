#include "net/PackExtraction.h"

#include "pack/ExtractThread.h"

namespace qel {
namespace {

constexpr int kWaitSliceMs = 1000;

class TExtractThreadExtraction final : public TPackExtraction {
 public:
  explicit TExtractThreadExtraction(TPackExtractionJob Job)
      : Thread_(std::move(Job.DestDir), Job.Pack, std::move(Job.GameGuid), OptionsOf(Job)) {}

  bool Finished() const override { return Thread_.Finished(); }
  bool Succeeded() const override { return Thread_.Succeeded(); }
  void WaitUntilFinished() override {
    while (!Thread_.WaitFor(kWaitSliceMs)) {
    }
  }

 private:
  static TExtractOptions OptionsOf(TPackExtractionJob& Job) {
    TExtractOptions options;
    options.SignedDigest = Job.SignedDigest;
    options.BeforeWriting = std::move(Job.BeforeWriting);
    options.AfterWriting = std::move(Job.AfterWriting);
    return options;
  }

  TExtractThread Thread_;
};

}  // namespace

std::unique_ptr<TPackExtraction> StartExtractThread(TPackExtractionJob Job) {
  return std::make_unique<TExtractThreadExtraction>(std::move(Job));
}

}  // namespace qel
