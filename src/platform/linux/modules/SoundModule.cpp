// The sound module: WAV images played through SDL2.
#include "core/Version.h"
#include "platform/linux/Modules.h"
#include "platform/linux/SdlSoundOutput.h"

QV_MODULE_VERSION

QV_MODULE_EXPORT qv::ISoundOutput* qv_sound_output(qv::TimerService* timers)
{
    return new qv::TSdlSoundOutput(*timers);
}
