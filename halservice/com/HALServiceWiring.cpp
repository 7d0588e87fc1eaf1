#include "halservice/com/HALServiceWiring.h"

#include "halservice/com/HALClasses.h"

IUnknown* CHALClassProvider::CreateClassObject(int slot)
{
    IUnknown* classObject = nullptr;
    if (FAILED(GetHALClassObject(slot, IID_IUnknown, reinterpret_cast<void**>(&classObject))))
        return nullptr;
    return classObject;
}

std::string_view CHALClassProvider::ClassScript(int slot) { return HALClassScript(slot); }
