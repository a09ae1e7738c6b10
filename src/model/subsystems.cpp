#include "model/subsystems.h"

namespace tunelet {

Subsystems WithDefaults(Subsystems s) {
  static IPlayerAccess noPlayers;
  static IPublisher noPublisher;
  static IUserInterface noUi;
  static IHotKeys noHotKeys;
  static ILanguage noLanguage;
  static IUpdateCheck noUpdate;
  if (!s.players) s.players = &noPlayers;
  if (!s.publisher) s.publisher = &noPublisher;
  if (!s.ui) s.ui = &noUi;
  if (!s.hotKeys) s.hotKeys = &noHotKeys;
  if (!s.language) s.language = &noLanguage;
  if (!s.update) s.update = &noUpdate;
  return s;
}

}  // namespace tunelet
