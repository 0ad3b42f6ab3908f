// Compile-time facts about the entries of the game library's tables (DLL_FUNCTIONS and
// NEW_DLL_FUNCTIONS), so that hook dispatch can be written once for every entry:
//   GameEntry<&DLL_FUNCTIONS::pfnStartFrame>::Name()  -> "StartFrame"
//   EntryResult<&DLL_FUNCTIONS::pfnSpawn>             -> int
//   EntryTable<&NEW_DLL_FUNCTIONS::pfnGameShutdown>   -> NEW_DLL_FUNCTIONS
#pragma once

#include "sdk/eiface.h"

namespace emu {

template <auto Entry>
struct GameEntry;

// Name() is the entry's name without its "pfn" prefix.
#define QRV_EMU_GAME_ENTRY(table, index, name)      \
  template <>                                       \
  struct GameEntry<&table::name> {                  \
    static constexpr int kIndex = index;            \
    static const char *Name() { return &#name[3]; } \
  };
#define QRV_EMU_DLL_ENTRY(index, name) QRV_EMU_GAME_ENTRY(DLL_FUNCTIONS, index, name)
#define QRV_EMU_NEW_DLL_ENTRY(index, name) QRV_EMU_GAME_ENTRY(NEW_DLL_FUNCTIONS, index, name)
QRV_DLL_FUNCTIONS_ENTRIES(QRV_EMU_DLL_ENTRY)
QRV_NEW_DLL_FUNCTIONS_ENTRIES(QRV_EMU_NEW_DLL_ENTRY)
#undef QRV_EMU_DLL_ENTRY
#undef QRV_EMU_NEW_DLL_ENTRY
#undef QRV_EMU_GAME_ENTRY

template <typename MemberPointer>
struct MemberTraits;
template <typename Table, typename Function>
struct MemberTraits<Function Table::*> {
  using TableType = Table;
  using FunctionType = Function;
};

template <typename Function>
struct FunctionTraits;
template <typename Result, typename... Parameters>
struct FunctionTraits<Result (*)(Parameters...)> {
  using ResultType = Result;
};

template <auto Entry>
using EntryTable = typename MemberTraits<decltype(Entry)>::TableType;
template <auto Entry>
using EntryFunction = typename MemberTraits<decltype(Entry)>::FunctionType;
template <auto Entry>
using EntryResult = typename FunctionTraits<EntryFunction<Entry>>::ResultType;

// Holds what one call of a table entry returned, void included, so that dispatch code can
// treat every entry alike.
template <typename Result>
struct ReturnSlot {
  Result value{};
  template <typename Function, typename... Arguments>
  void Run(Function function, Arguments... arguments) {
    value = function(arguments...);
  }
  void *Address() { return &value; }
};
template <>
struct ReturnSlot<void> {
  template <typename Function, typename... Arguments>
  void Run(Function function, Arguments... arguments) {
    function(arguments...);
  }
  void *Address() { return nullptr; }
};

}  // namespace emu
