// Runs the registration scripts COM servers carry, in both directions.
//
// A script names root keys and, nested in braces, the keys and values below
// them:
//
//   HKCR
//   {
//       Lib.Thing.1 = s 'Thing Class'
//       {
//           CLSID = s '%CLSID%'
//       }
//       NoRemove CLSID
//       {
//           ForceRemove %CLSID% = s 'Thing Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Both'
//               }
//               'TypeLib' = s '{00000000-0000-0000-0000-000000000000}'
//           }
//       }
//       Delete OldName
//   }
//
// Roots: HKCR, HKCU, HKLM, HKU (or their HKEY_... names). A key name is bare
// (a GUID in braces counts as one name) or quoted; `= type value` sets the
// key's default value, `val Name = type value` a named value. Types: s
// (REG_SZ), e (REG_EXPAND_SZ), m (REG_MULTI_SZ, strings separated by \0),
// d (REG_DWORD, decimal or 0x hex), b (REG_BINARY, hex digits). Quoted text
// doubles a quote to contain one ('it''s'). %NAME% is replaced from the
// caller's replacements in names and values alike; %% is a percent sign.
//
// Register creates the keys and values; a ForceRemove key loses its whole
// old subtree first; a Delete key is deleted and nothing is created.
// Unregister works bottom-up: it removes the values the script lists, then
// each listed key when nothing is left in it that the script did not make;
// a ForceRemove key goes with everything below it; a NoRemove key stays with
// its default value (its listed children and named values are still
// removed); Delete keys are left alone; root keys always stay. Missing keys
// are no error on unregistering.
//
// Per-user mode writes the HKCR part under HKCU\Software\Classes.
//
// The whole script is read before anything is written: a malformed script
// gives DISP_E_EXCEPTION and changes nothing; an unknown %NAME% gives
// E_INVALIDARG. Registry failures come back as HRESULT_FROM_WIN32 of the
// registry's error; a registration that fails half-way is undone as far as
// it can be.
#pragma once

#include "platform/base/winerror.h"

#include <map>
#include <string>
#include <string_view>

namespace plat {

class Registrar {
public:
    // %name% (compared without regard to case) becomes `value`.
    void AddReplacement(std::u16string_view name, std::u16string_view value);
    void ClearReplacements();
    void SetPerUser(bool perUser) { m_perUser = perUser; }
    bool PerUser() const { return m_perUser; }

    HRESULT Register(std::u16string_view script);
    HRESULT Unregister(std::u16string_view script);
    // Scripts held as UTF-8 text.
    HRESULT Register(std::string_view script);
    HRESULT Unregister(std::string_view script);

private:
    HRESULT Run(std::u16string_view script, bool doRegister);
    HRESULT RunScript(std::u16string_view script, bool doRegister);

    std::map<std::u16string, std::u16string> m_replacements; // by upper-case name
    bool m_perUser = false;
};

} // namespace plat
