/*
 * The virtual tuner card's control channel: a separate device that stays
 * reachable while the card is pulled. Tests and the tunercard tool use it to
 * pull and insert the card, script its stations and failures, and read the
 * log of every tuner request the card received. Plain C, shared by the
 * driver and user mode (GUID-free, so no header needs to come first).
 */
#ifndef TAVOLIN_CARD_CONTROL_H
#define TAVOLIN_CARD_CONTROL_H

#include <stdint.h>

#define CARD_CONTROL_DEVICE_NAME  L"\\Device\\TavolinCardControl"
#define CARD_CONTROL_LINK_NAME    L"\\DosDevices\\TavolinCardControl"
#define CARD_CONTROL_USER_PATH    "\\\\.\\TavolinCardControl"

/* The hardware id the card is installed under, and its root instance. */
#define CARD_HARDWARE_ID          "tavolin_virtual_tuner"
#define CARD_INSTANCE_ID          "ROOT\\TAVOLINCARD\\0000"
#define CARD_SERVICE_NAME         "tavolincard"

/* Customer device type and function numbers: never one of the tuner codes. */
#define CARD_CONTROL_CODE(function) ((uint32_t)((0x8A11u << 16) | ((0x800u + (uint32_t)(function)) << 2)))

#define CARD_CTL_GET_STATE      CARD_CONTROL_CODE(0) /* out: CardState */
#define CARD_CTL_PULL           CARD_CONTROL_CODE(1) /* no buffers */
#define CARD_CTL_INSERT         CARD_CONTROL_CODE(2) /* no buffers */
#define CARD_CTL_READ_LOG       CARD_CONTROL_CODE(3) /* in: uint64 first sequence; out: CardLogPage */
#define CARD_CTL_CLEAR_LOG      CARD_CONTROL_CODE(4) /* no buffers */
#define CARD_CTL_LOAD_SCENARIO  CARD_CONTROL_CODE(5) /* in: CardScenario */
#define CARD_CTL_FAIL_NEXT      CARD_CONTROL_CODE(6) /* in: uint32 count */
#define CARD_CTL_FAIL_CODE      CARD_CONTROL_CODE(7) /* in: CardFailCode */
#define CARD_CTL_RESET          CARD_CONTROL_CODE(8) /* no buffers: factory state, default scenario */

#define CARD_MAX_STATIONS      32
#define CARD_STATION_TEXT      512
#define CARD_MAX_FAIL_CODES    8
#define CARD_LOG_INPUT_BYTES   128
#define CARD_LOG_PAGE_ENTRIES  64
#define CARD_MAX_SEEK_ANSWERS  16

/* Bit per band code (1 Europe, 2 Japan, 3 USA); 0 = every band. */
#define CARD_BAND_BIT(code) (1u << (code))

typedef struct CardStation {
    int32_t frequency;   /* 0.1 MHz units */
    uint32_t stereo;     /* 1: stereo broadcast */
    uint32_t rds;        /* 1: carries RDS */
    uint32_t strength;   /* 0..3: a seek stops here when strength >= search level */
    uint32_t bands;      /* CARD_BAND_BIT mask, 0 = all bands */
    uint32_t textLength; /* bytes of RDS text; 0: up to the first NUL */
    char text[CARD_STATION_TEXT]; /* RDS text; may hold NULs when textLength says so */
} CardStation;

typedef struct CardSeekAnswer {
    int32_t frequency;
    int32_t searchContinues;
} CardSeekAnswer;

typedef struct CardScenario {
    uint32_t stationCount;
    int32_t seekStep;       /* 0.1 MHz units one seek step moves */
    uint32_t rdsChunk;      /* bytes per read_rds_text answer, 1..127 */
    uint32_t rdsRepeat;     /* 1: the text starts over once handed out */
    uint32_t rdsRise;       /* level gained per rds_level_tick on an RDS station */
    uint32_t rdsFall;       /* level lost per tick elsewhere */
    CardStation stations[CARD_MAX_STATIONS];
    /* Answers handed out as they are, in order, to the next seek requests
       (a faulty card); once used up, seeks work normally again. */
    uint32_t seekAnswerCount;
    CardSeekAnswer seekAnswers[CARD_MAX_SEEK_ANSWERS];
} CardScenario;

typedef struct CardFailCode {
    uint32_t code;
    uint32_t fail; /* 1: every request of this code fails, 0: stop failing */
} CardFailCode;

typedef struct CardState {
    uint32_t installed;     /* a card device is attached to the driver */
    uint32_t inserted;
    uint32_t openHandles;   /* tuner handles currently open */
    uint32_t power;
    uint32_t band;          /* card band code */
    int32_t frequency;
    uint32_t volume;
    uint32_t mute;
    uint32_t mono;
    uint32_t noiseCancel;
    uint32_t searchLevel;
    uint32_t rdsRunning;
    uint32_t rdsLevel;
    uint32_t stereo;        /* what is_stereo would answer now */
    uint32_t failNext;
    uint32_t stationCount;
    uint64_t logTotal;      /* requests logged since the last clear */
    int64_t counterFrequency; /* ticks per second of the log time stamps */
    uint32_t opens;         /* tuner handles ever opened: a watcher's looks show here */
    uint32_t reserved;
} CardState;

typedef struct CardLogEntry {
    uint64_t sequence;
    int64_t timestamp;      /* performance counter ticks, comparable with QueryPerformanceCounter */
    uint32_t code;
    uint32_t inputSize;
    uint32_t outputSize;
    uint32_t returnedSize;
    uint32_t success;
    uint32_t handleId;      /* which open handle sent it */
    uint8_t input[CARD_LOG_INPUT_BYTES]; /* first bytes of the input */
} CardLogEntry;

typedef struct CardLogPage {
    uint64_t total;         /* sequence number the next entry will get */
    uint64_t first;         /* oldest sequence number still held */
    uint32_t count;         /* entries in this page */
    uint32_t reserved;
    CardLogEntry entries[CARD_LOG_PAGE_ENTRIES];
} CardLogPage;

#endif
