/*
 * The tuner card's wire protocol: interface class, request codes and the
 * exact buffer layouts of the fifteen requests. Shared by the radio, the
 * agent and the virtual tuner card's kernel driver, so it is plain C and
 * usable from user mode and kernel mode alike.
 */
#ifndef TAVOLIN_TUNER_PROTOCOL_H
#define TAVOLIN_TUNER_PROTOCOL_H

#include <stdint.h>
#include <guiddef.h>

/* {C0CF0641-5F6E-11D2-B677-00C0DFE4C1F3} */
#define TUNER_INTERFACE_GUID_INIT \
    { 0xC0CF0641, 0x5F6E, 0x11D2, { 0xB6, 0x77, 0x00, 0xC0, 0xDF, 0xE4, 0xC1, 0xF3 } }

static const GUID TunerInterfaceGuid __attribute__((unused)) = TUNER_INTERFACE_GUID_INIT;

/* FILE_DEVICE_UNKNOWN in the upper word, METHOD_BUFFERED, FILE_ANY_ACCESS. */
#define TUNER_REQUEST_CODE(function) ((uint32_t)((0x22u << 16) | ((uint32_t)(function) << 2)))

#define TUNER_POLL_CARD          TUNER_REQUEST_CODE(0x0B)
#define TUNER_SET_POWER          TUNER_REQUEST_CODE(0x0C)
#define TUNER_SEEK               TUNER_REQUEST_CODE(0x15)
#define TUNER_SET_FREQUENCY      TUNER_REQUEST_CODE(0x17)
#define TUNER_SET_SEARCH_LEVEL   TUNER_REQUEST_CODE(0x18)
#define TUNER_SET_MONO           TUNER_REQUEST_CODE(0x19)
#define TUNER_SET_NOISE_CANCEL   TUNER_REQUEST_CODE(0x1A)
#define TUNER_IS_STEREO          TUNER_REQUEST_CODE(0x1B)
#define TUNER_SET_BAND           TUNER_REQUEST_CODE(0x1C)
#define TUNER_SET_MUTE           TUNER_REQUEST_CODE(0x20)
#define TUNER_SET_VOLUME         TUNER_REQUEST_CODE(0x21)
#define TUNER_START_RDS          TUNER_REQUEST_CODE(0x33)
#define TUNER_STOP_RDS           TUNER_REQUEST_CODE(0x34)
#define TUNER_READ_RDS_TEXT      TUNER_REQUEST_CODE(0x35)
#define TUNER_RDS_LEVEL_TICK     TUNER_REQUEST_CODE(0x36)

#define TUNER_REQUEST_COUNT 15

/* Seek: both input words 1 for upward, both 0 for downward. */
typedef struct TunerSeekRequest {
    uint32_t direction1;
    uint32_t direction2;
} TunerSeekRequest;

/* Seek answer: the frequency now tuned and the continue word. */
typedef struct TunerSeekAnswer {
    int32_t frequency;
    int32_t searchContinues;
} TunerSeekAnswer;

enum {
    TUNER_SEEK_DONE = 0,
    TUNER_SEEK_CONTINUE_UP = 1,
    TUNER_SEEK_CONTINUE_DOWN = 2
};

/* Band codes as the card knows them. */
enum {
    TUNER_BAND_EUROPE = 1, /* 87.5-108 MHz */
    TUNER_BAND_JAPAN = 2,  /* 76-91 MHz */
    TUNER_BAND_USA = 3     /* 88-108 MHz */
};

#define TUNER_RDS_TEXT_BYTES 127
#define TUNER_RDS_LEVEL_PRESENT 500u /* a level above this means RDS is received */

/* The exact sizes every request must carry; anything else is refused. */
typedef struct TunerRequestLayout {
    uint32_t code;
    uint32_t inputSize;
    uint32_t outputSize;
    const char *name;
} TunerRequestLayout;

static const TunerRequestLayout TunerRequestLayouts[TUNER_REQUEST_COUNT] __attribute__((unused)) = {
    { TUNER_POLL_CARD, 4, 4, "poll_card" },
    { TUNER_SET_POWER, 4, 0, "set_power" },
    { TUNER_SEEK, sizeof(TunerSeekRequest), sizeof(TunerSeekAnswer), "seek" },
    { TUNER_SET_FREQUENCY, 4, 0, "set_frequency" },
    { TUNER_SET_SEARCH_LEVEL, 2, 0, "set_search_level" },
    { TUNER_SET_MONO, 4, 0, "set_mono" },
    { TUNER_SET_NOISE_CANCEL, 4, 0, "set_stereo_noise_cancel" },
    { TUNER_IS_STEREO, 4, 4, "is_stereo" },
    { TUNER_SET_BAND, 2, 0, "set_band" },
    { TUNER_SET_MUTE, 4, 0, "set_mute" },
    { TUNER_SET_VOLUME, 4, 0, "set_volume" },
    { TUNER_START_RDS, 0, 0, "start_rds" },
    { TUNER_STOP_RDS, 0, 0, "stop_rds" },
    { TUNER_READ_RDS_TEXT, TUNER_RDS_TEXT_BYTES, TUNER_RDS_TEXT_BYTES, "read_rds_text" },
    { TUNER_RDS_LEVEL_TICK, 4, 4, "rds_level_tick" },
};

#ifdef __cplusplus
#define TUNER_STATIC_ASSERT static_assert
#else
#define TUNER_STATIC_ASSERT _Static_assert
#endif
TUNER_STATIC_ASSERT(TUNER_POLL_CARD == 0x22002C, "poll code");
TUNER_STATIC_ASSERT(TUNER_SET_POWER == 0x220030, "power code");
TUNER_STATIC_ASSERT(TUNER_SEEK == 0x220054, "seek code");
TUNER_STATIC_ASSERT(TUNER_SET_FREQUENCY == 0x22005C, "frequency code");
TUNER_STATIC_ASSERT(TUNER_SET_SEARCH_LEVEL == 0x220060, "search level code");
TUNER_STATIC_ASSERT(TUNER_SET_MONO == 0x220064, "mono code");
TUNER_STATIC_ASSERT(TUNER_SET_NOISE_CANCEL == 0x220068, "noise cancel code");
TUNER_STATIC_ASSERT(TUNER_IS_STEREO == 0x22006C, "stereo code");
TUNER_STATIC_ASSERT(TUNER_SET_BAND == 0x220070, "band code");
TUNER_STATIC_ASSERT(TUNER_SET_MUTE == 0x220080, "mute code");
TUNER_STATIC_ASSERT(TUNER_SET_VOLUME == 0x220084, "volume code");
TUNER_STATIC_ASSERT(TUNER_START_RDS == 0x2200CC, "start rds code");
TUNER_STATIC_ASSERT(TUNER_STOP_RDS == 0x2200D0, "stop rds code");
TUNER_STATIC_ASSERT(TUNER_READ_RDS_TEXT == 0x2200D4, "rds text code");
TUNER_STATIC_ASSERT(TUNER_RDS_LEVEL_TICK == 0x2200D8, "rds level code");
TUNER_STATIC_ASSERT(sizeof(TunerSeekRequest) == 8 && sizeof(TunerSeekAnswer) == 8, "seek layouts");

#endif
