#include "serial/va_settings.h"

namespace serial {

void TVaPersistent::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  Changed();
}

void TVaPersistent::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

void TVaFlowControl::Assign(const TVaFlowControl& source) {
  BeginUpdate();
  try {
    SetOutCtsFlow(source.OutCtsFlow());
    SetOutDsrFlow(source.OutDsrFlow());
    SetControlDtr(source.ControlDtr());
    SetControlRts(source.ControlRts());
    SetXonXoffOut(source.XonXoffOut());
    SetXonXoffIn(source.XonXoffIn());
    SetDsrSensitivity(source.DsrSensitivity());
    SetTxContinueOnXoff(source.TxContinueOnXoff());
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TVaEventChars::SetChar(int index, char value) {
  if (index < 1 || index > 5) return;
  chars_[index - 1] = value;
  Changed();
}

void TVaEventChars::Assign(const TVaEventChars& source) {
  BeginUpdate();
  try {
    for (int i = 1; i <= 5; ++i) SetChar(i, source.chars_[i - 1]);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TVaBuffers::SetReadSize(std::int32_t value) {
  value = Clamp(value);
  if (readSize_ != value) {
    readSize_ = value;
    Changed();
  }
}

void TVaBuffers::SetWriteSize(std::int32_t value) {
  value = Clamp(value);
  if (writeSize_ != value) {
    writeSize_ = value;
    Changed();
  }
}

void TVaBuffers::Assign(const TVaBuffers& source) {
  BeginUpdate();
  readSize_ = source.readSize_;
  writeSize_ = source.writeSize_;
  readTimeout_ = source.readTimeout_;
  writeTimeout_ = source.writeTimeout_;
  EndUpdate();
}

}  // namespace serial
