// The dispatcher itself: a name that has no information action is answered as unknown, shown
// as typed and never taken for a format.
#include "commands/dispatcher.h"

#include <gtest/gtest.h>

#include <string>

#include "entry/export_api.h"
#include "session.h"

namespace {

TEST(Dispatcher, NamesWithoutAnActionAreUnknownAndShownAsTyped) {
  emu::Session root;
  GiveFnptrsToDll(root.engine().Functions(), root.engine().Globals());
  for (const char *name : {"qrv_vemtark_version", "qrv_%s%n", "qrv_infos", "qrv_inf"}) {
    root.engine().AddCommand(name, CommandDispatcher);
  }
  root.engine().TakeConsole();
  root.engine().Command("qrv_vemtark_version 1 2 3 4 5 6 7");
  root.engine().Command("qrv_%s%n");
  root.engine().Command("QRV_INFOS");
  root.engine().Command("qrv_inf");
  EXPECT_EQ(
      "[QRV Vem-Tark] Unknown command: qrv_vemtark_version\n"
      "[QRV Vem-Tark] Unknown command: qrv_%s%n\n"
      "[QRV Vem-Tark] Unknown command: QRV_INFOS\n"
      "[QRV Vem-Tark] Unknown command: qrv_inf\n",
      root.engine().TakeConsole());
}

}  // namespace
