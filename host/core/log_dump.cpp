#include "dialog_ports.h"

namespace mokuna {

void DumpLog(ResultSource& scheduler, SpeechSink& speech) {
  while (scheduler.IsResult()) speech.AddSerifu(scheduler.GetResults());
}

}  // namespace mokuna
