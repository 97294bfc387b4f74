/*
 * Kernel driver of the virtual tuner card: a root-enumerated plug-and-play
 * device that offers the tuner interface class and answers the card's
 * fifteen requests through the card model, plus a control device that stays
 * reachable while the card is pulled (tests and the tunercard tool use it).
 */
#include <ntddk.h>

#include "../../device/tuner_protocol.h"
#include "../card_control.h"
#include "card_model.h"

typedef struct CardDevice {
    DEVICE_OBJECT *lower;
} CardDevice;

#define INTERFACE_NAME_CHARS 256

/*
 * Everything the driver keeps; one card per driver. Plug-and-play requests
 * (AddDevice, start, remove) may come on another thread than the requests of
 * the tuner and control devices, so every field below is read and written
 * under `lock`. Switching the interface must happen at passive level,
 * outside the lock: its name is kept here for the driver's lifetime rather
 * than freed with the card, so that a pull racing the card's removal never
 * reads freed memory. A waiting lock around the switch stalls Wine's
 * request loop against its plug-and-play thread, so the switches are put in
 * order without one (update_interface).
 */
static struct {
    KSPIN_LOCK lock;
    DEVICE_OBJECT *control;
    DEVICE_OBJECT *card;         /* the plug-and-play card device, once added */
    UNICODE_STRING interfaceName; /* the card's interface; set before `card` */
    WCHAR interfaceChars[INTERFACE_NAME_CHARS];
    uint32_t inserted;
    uint32_t started;            /* between the card's start and its removal */
    uint32_t interfaceOn;        /* the interface state last switched to */
    uint32_t switching;          /* someone is switching the interface */
    uint32_t generation;         /* bumped by every pull: older handles stay dead */
    uint32_t openHandles;
    uint32_t nextHandleId;
    CardModel model;
} driver;

/* What a tuner handle remembers: the generation it was opened in and its id. */
#define HANDLE_TAG(generation, id) ((void *)(ULONG_PTR)(((ULONG_PTR)((generation) & 0x7FFFu) << 16) | ((id) & 0xFFFF) | 0x80000000u))
#define HANDLE_GENERATION(tag) ((uint32_t)(((ULONG_PTR)(tag) & 0x7FFFFFFFu) >> 16))
#define GENERATION_MASK 0x7FFFu
#define HANDLE_ID(tag) ((uint32_t)((ULONG_PTR)(tag) & 0xFFFF))

static int64_t now(void)
{
    return KeQueryPerformanceCounter(NULL).QuadPart;
}

static NTSTATUS complete(IRP *irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/*
 * Brings the interface to what the card's state asks for: on while the card
 * is added, started and inserted. Called at passive level without the lock
 * after every change of that state. The first caller switches, outside the
 * lock, until the state it reads no longer differs from the last switch;
 * a caller that finds a switch under way leaves its change to that one. So
 * switches never overlap and the last one always matches the last change.
 */
static void update_interface(void)
{
    KIRQL irql;
    uint32_t wanted;
    KeAcquireSpinLock(&driver.lock, &irql);
    if (driver.switching) {
        KeReleaseSpinLock(&driver.lock, irql);
        return;
    }
    driver.switching = 1;
    for (;;) {
        wanted = driver.card && driver.started && driver.inserted;
        if (wanted == driver.interfaceOn)
            break;
        driver.interfaceOn = wanted;
        KeReleaseSpinLock(&driver.lock, irql);
        IoSetDeviceInterfaceState(&driver.interfaceName, wanted ? TRUE : FALSE);
        KeAcquireSpinLock(&driver.lock, &irql);
    }
    driver.switching = 0;
    KeReleaseSpinLock(&driver.lock, irql);
}

/* ---- the tuner device ---- */

static NTSTATUS card_create(IRP *irp)
{
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    KIRQL irql;
    NTSTATUS status = STATUS_NO_SUCH_DEVICE;
    KeAcquireSpinLock(&driver.lock, &irql);
    if (driver.inserted) {
        stack->FileObject->FsContext2 = HANDLE_TAG(driver.generation, ++driver.nextHandleId);
        ++driver.openHandles;
        status = STATUS_SUCCESS;
    }
    KeReleaseSpinLock(&driver.lock, irql);
    return complete(irp, status, 0);
}

static NTSTATUS card_close(IRP *irp)
{
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    KIRQL irql;
    KeAcquireSpinLock(&driver.lock, &irql);
    if (stack->FileObject && stack->FileObject->FsContext2) {
        stack->FileObject->FsContext2 = NULL;
        if (driver.openHandles)
            --driver.openHandles;
    }
    KeReleaseSpinLock(&driver.lock, irql);
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS card_request(IRP *irp)
{
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    uint32_t inputSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    uint32_t outputSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void *buffer = irp->AssociatedIrp.SystemBuffer;
    void *tag = stack->FileObject ? stack->FileObject->FsContext2 : NULL;
    uint32_t returned = 0;
    KIRQL irql;
    NTSTATUS status;

    /* Only METHOD_BUFFERED codes carry a system buffer; the table holds no other kind. */
    if ((code & 3) != METHOD_BUFFERED)
        buffer = NULL;
    KeAcquireSpinLock(&driver.lock, &irql);
    if (!tag || !driver.inserted || HANDLE_GENERATION(tag) != (driver.generation & GENERATION_MASK)) {
        card_model_log(&driver.model, code, buffer, buffer ? inputSize : 0, outputSize, 0, 0, now(),
                       tag ? HANDLE_ID(tag) : 0);
        status = STATUS_DEVICE_NOT_CONNECTED;
    } else if (card_model_request(&driver.model, code, buffer, inputSize, buffer, outputSize, &returned, now(), HANDLE_ID(tag))) {
        status = STATUS_SUCCESS;
    } else {
        status = STATUS_INVALID_DEVICE_REQUEST;
    }
    KeReleaseSpinLock(&driver.lock, irql);
    return complete(irp, status, returned);
}

/* ---- the control device ---- */

static void fill_state(CardState *state)
{
    const CardModel *card = &driver.model;
    LARGE_INTEGER frequency;
    KeQueryPerformanceCounter(&frequency);
    RtlZeroMemory(state, sizeof(*state));
    state->installed = driver.card != NULL;
    state->inserted = driver.inserted;
    state->openHandles = driver.openHandles;
    state->power = card->power;
    state->band = card->band;
    state->frequency = card->frequency;
    state->volume = card->volume;
    state->mute = card->mute;
    state->mono = card->mono;
    state->noiseCancel = card->noiseCancel;
    state->searchLevel = card->searchLevel;
    state->rdsRunning = card->rdsRunning;
    state->rdsLevel = card->rdsLevel;
    state->stereo = card_model_stereo(card);
    state->failNext = card->failNext;
    state->stationCount = card->scenario.stationCount;
    state->logTotal = card->logTotal;
    state->counterFrequency = frequency.QuadPart;
    state->opens = driver.nextHandleId;
}

/* Pull or insert the card: the interface disappears or comes back. */
static NTSTATUS plug(int insert)
{
    KIRQL irql;
    int change = 0;
    NTSTATUS status = STATUS_NO_SUCH_DEVICE;
    KeAcquireSpinLock(&driver.lock, &irql);
    if (driver.card) {
        change = driver.inserted != (uint32_t)insert;
        driver.inserted = (uint32_t)insert;
        if (change && !insert) {
            ++driver.generation; /* handles held across the pull stay dead */
            driver.model.power = 0;
            driver.model.rdsRunning = 0;
            driver.model.rdsLevel = 0;
        }
        status = STATUS_SUCCESS;
    }
    KeReleaseSpinLock(&driver.lock, irql);
    if (change)
        update_interface();
    return status;
}

static NTSTATUS control_request(IRP *irp)
{
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    uint32_t inputSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    uint32_t outputSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void *buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR returned = 0;
    NTSTATUS status = STATUS_SUCCESS;
    KIRQL irql;

    if (code == CARD_CTL_PULL || code == CARD_CTL_INSERT) {
        if (inputSize || outputSize)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        return complete(irp, plug(code == CARD_CTL_INSERT), 0);
    }

    KeAcquireSpinLock(&driver.lock, &irql);
    switch (code) {
    case CARD_CTL_GET_STATE:
        if (!buffer || inputSize || outputSize != sizeof(CardState)) {
            status = STATUS_INVALID_PARAMETER;
            break;
        }
        fill_state((CardState *)buffer);
        returned = sizeof(CardState);
        break;
    case CARD_CTL_READ_LOG: {
        uint64_t first;
        if (!buffer || inputSize != sizeof(first) || outputSize != sizeof(CardLogPage)) {
            status = STATUS_INVALID_PARAMETER;
            break;
        }
        RtlCopyMemory(&first, buffer, sizeof(first));
        card_model_read_log(&driver.model, first, (CardLogPage *)buffer);
        returned = sizeof(CardLogPage);
        break;
    }
    case CARD_CTL_CLEAR_LOG:
        if (inputSize || outputSize)
            status = STATUS_INVALID_PARAMETER;
        else
            driver.model.logTotal = 0;
        break;
    case CARD_CTL_LOAD_SCENARIO:
        if (!buffer || inputSize != sizeof(CardScenario) || outputSize ||
            !card_model_load_scenario(&driver.model, (const CardScenario *)buffer))
            status = STATUS_INVALID_PARAMETER;
        break;
    case CARD_CTL_FAIL_NEXT:
        if (!buffer || inputSize != sizeof(uint32_t) || outputSize)
            status = STATUS_INVALID_PARAMETER;
        else
            RtlCopyMemory(&driver.model.failNext, buffer, sizeof(uint32_t));
        break;
    case CARD_CTL_FAIL_CODE: {
        CardFailCode plan;
        if (!buffer || inputSize != sizeof(plan) || outputSize) {
            status = STATUS_INVALID_PARAMETER;
            break;
        }
        RtlCopyMemory(&plan, buffer, sizeof(plan));
        if (!card_model_set_fail_code(&driver.model, plan.code, plan.fail))
            status = STATUS_INSUFFICIENT_RESOURCES;
        break;
    }
    case CARD_CTL_RESET:
        if (inputSize || outputSize) {
            status = STATUS_INVALID_PARAMETER;
            break;
        }
        card_model_reset(&driver.model);
        break;
    default:
        status = STATUS_INVALID_DEVICE_REQUEST;
        break;
    }
    KeReleaseSpinLock(&driver.lock, irql);
    return complete(irp, status, returned);
}

/* ---- dispatch ---- */

static NTSTATUS WINAPI dispatch_create(DEVICE_OBJECT *device, IRP *irp)
{
    if (device == driver.control)
        return complete(irp, STATUS_SUCCESS, 0);
    return card_create(irp);
}

static NTSTATUS WINAPI dispatch_close(DEVICE_OBJECT *device, IRP *irp)
{
    if (device == driver.control)
        return complete(irp, STATUS_SUCCESS, 0);
    return card_close(irp);
}

static NTSTATUS WINAPI dispatch_cleanup(DEVICE_OBJECT *device, IRP *irp)
{
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS WINAPI dispatch_device_control(DEVICE_OBJECT *device, IRP *irp)
{
    if (device == driver.control)
        return control_request(irp);
    return card_request(irp);
}

static NTSTATUS WINAPI dispatch_pnp(DEVICE_OBJECT *device, IRP *irp)
{
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    CardDevice *card = (CardDevice *)device->DeviceExtension;
    DEVICE_OBJECT *lower;
    NTSTATUS status;
    KIRQL irql;

    if (device == driver.control)
        return complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);

    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        KeAcquireSpinLock(&driver.lock, &irql);
        if (driver.card == device)
            driver.started = 1;
        KeReleaseSpinLock(&driver.lock, irql);
        update_interface();
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_STOP_DEVICE:
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_REMOVE_DEVICE:
        /* Once the card is gone from `driver`, pulls and inserts leave its
           interface alone. */
        KeAcquireSpinLock(&driver.lock, &irql);
        if (driver.card == device) {
            driver.card = NULL;
            driver.started = 0;
        }
        KeReleaseSpinLock(&driver.lock, irql);
        update_interface();
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoSkipCurrentIrpStackLocation(irp);
        lower = card->lower;
        status = IoCallDriver(lower, irp);
        IoDetachDevice(lower);
        IoDeleteDevice(device);
        return status;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(card->lower, irp);
}

static NTSTATUS WINAPI dispatch_power(DEVICE_OBJECT *device, IRP *irp)
{
    if (device == driver.control)
        return complete(irp, STATUS_SUCCESS, 0);
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(((CardDevice *)device->DeviceExtension)->lower, irp);
}

static NTSTATUS WINAPI add_device(DRIVER_OBJECT *driverObject, DEVICE_OBJECT *pdo)
{
    DEVICE_OBJECT *device = NULL, *present;
    CardDevice *card;
    UNICODE_STRING name;
    NTSTATUS status;
    KIRQL irql;

    KeAcquireSpinLock(&driver.lock, &irql);
    present = driver.card;
    KeReleaseSpinLock(&driver.lock, irql);
    if (present)
        return STATUS_TOO_MANY_NODES; /* one card per driver */
    status = IoCreateDevice(driverObject, sizeof(CardDevice), NULL, FILE_DEVICE_UNKNOWN,
                            FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    card = (CardDevice *)device->DeviceExtension;
    RtlZeroMemory(card, sizeof(*card));
    /* A card without its stack or its interface could never be found: no card. */
    card->lower = IoAttachDeviceToDeviceStack(device, pdo);
    status = card->lower ? IoRegisterDeviceInterface(pdo, &TunerInterfaceGuid, NULL, &name) : STATUS_NO_SUCH_DEVICE;
    if (NT_SUCCESS(status) && name.Length > sizeof(driver.interfaceChars)) {
        RtlFreeUnicodeString(&name);
        status = STATUS_NAME_TOO_LONG;
    }
    if (!NT_SUCCESS(status)) {
        if (card->lower)
            IoDetachDevice(card->lower);
        IoDeleteDevice(device);
        return status;
    }
    RtlCopyMemory(driver.interfaceChars, name.Buffer, name.Length);
    driver.interfaceName.Buffer = driver.interfaceChars;
    driver.interfaceName.Length = name.Length;
    driver.interfaceName.MaximumLength = sizeof(driver.interfaceChars);
    RtlFreeUnicodeString(&name);
    device->Flags |= DO_BUFFERED_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    KeAcquireSpinLock(&driver.lock, &irql);
    driver.card = device;
    KeReleaseSpinLock(&driver.lock, irql);
    return STATUS_SUCCESS;
}

static void WINAPI driver_unload(DRIVER_OBJECT *driverObject)
{
    UNICODE_STRING link;
    (void)driverObject;
    RtlInitUnicodeString(&link, CARD_CONTROL_LINK_NAME);
    IoDeleteSymbolicLink(&link);
    if (driver.control)
        IoDeleteDevice(driver.control);
    driver.control = NULL;
}

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT *driverObject, UNICODE_STRING *registryPath)
{
    UNICODE_STRING name, link;
    NTSTATUS status;
    (void)registryPath;

    KeInitializeSpinLock(&driver.lock);
    card_model_reset(&driver.model);
    driver.inserted = 1; /* a card that is installed starts inserted */

    driverObject->DriverExtension->AddDevice = add_device;
    driverObject->DriverUnload = driver_unload;
    driverObject->MajorFunction[IRP_MJ_CREATE] = dispatch_create;
    driverObject->MajorFunction[IRP_MJ_CLOSE] = dispatch_close;
    driverObject->MajorFunction[IRP_MJ_CLEANUP] = dispatch_cleanup;
    driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_device_control;
    driverObject->MajorFunction[IRP_MJ_PNP] = dispatch_pnp;
    driverObject->MajorFunction[IRP_MJ_POWER] = dispatch_power;

    RtlInitUnicodeString(&name, CARD_CONTROL_DEVICE_NAME);
    RtlInitUnicodeString(&link, CARD_CONTROL_LINK_NAME);
    status = IoCreateDevice(driverObject, 0, &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                            FALSE, &driver.control);
    if (!NT_SUCCESS(status))
        return status;
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(driver.control);
        driver.control = NULL;
        return status;
    }
    driver.control->Flags |= DO_BUFFERED_IO;
    driver.control->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
