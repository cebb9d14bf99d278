#ifndef VESPODAR_UI_RECORDING_SHOWER_TEST_H_
#define VESPODAR_UI_RECORDING_SHOWER_TEST_H_

// For tests: keeps every box it is asked to show and answers OK.

#include <vector>

#include "ui/messages.h"

namespace vespodar {

class RecordingShower : public MessageShower {
 public:
  std::vector<MessageBoxSpec> boxes;
  int ShowMessageBox(const MessageBoxSpec& box) override {
    boxes.push_back(box);
    return 1;
  }
};

}  // namespace vespodar

#endif  // VESPODAR_UI_RECORDING_SHOWER_TEST_H_
