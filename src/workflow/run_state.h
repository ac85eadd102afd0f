// What one run of the program holds while it lives: the named mutexes that
// tell other starts it is there (and in which mode), and the command-line
// switches. Start-up fills it; the CD run lets go of the mutexes before it
// relaunches, the local run adds its mode mutex.
#pragma once

#include "platform/handles.h"

namespace devstart {

struct RunState {
  UniqueHandle one_instance_mutex;
  UniqueHandle mode_mutex;      // "DevstartMutexITKMode"
  UniqueHandle pc_mode_mutex;   // "DevstartMutexPCMode"
  int debug_switch = 0;
  int no_send_switch = 0;
  int run_itk_switch = 0;
  int no_install_switch = 0;
  int cancel_flag = 0;
};

}  // namespace devstart
