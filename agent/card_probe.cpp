#include "card_probe.h"

#include "tuner_discovery.h"
#include "tuner_protocol.h"

CardProbe cardProbe;

CardProbe::~CardProbe()
{
    close();
}

void CardProbe::open()
{
    close();
    handle = open_tuner_interface(TunerInterfaceGuid, 0);
}

void CardProbe::close()
{
    if (handle)
        CloseHandle(handle);
    handle = nullptr;
}
