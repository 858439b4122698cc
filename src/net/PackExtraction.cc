#include "net/PackExtraction.h"

#include "pack/ExtractThread.h"

namespace qel {
namespace {

constexpr int kWaitSliceMs = 1000;

class TExtractThreadExtraction final : public TPackExtraction {
 public:
  TExtractThreadExtraction(const std::string& DestDir, std::span<const uint8_t> Pack, const std::string& GameGuid)
      : Thread_(DestDir, Pack, GameGuid) {}

  bool Finished() const override { return Thread_.Finished(); }
  bool Succeeded() const override { return Thread_.Succeeded(); }
  void WaitUntilFinished() override {
    while (!Thread_.WaitFor(kWaitSliceMs)) {
    }
  }

 private:
  TExtractThread Thread_;
};

}  // namespace

std::unique_ptr<TPackExtraction> StartExtractThread(const std::string& DestDir, std::span<const uint8_t> Pack,
                                                    const std::string& GameGuid) {
  return std::make_unique<TExtractThreadExtraction>(DestDir, Pack, GameGuid);
}

}  // namespace qel
