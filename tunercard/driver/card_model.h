/*
 * The behaviour of the virtual tuner card, free of any kernel call so that
 * the driver and host-side tests share it: power, band, tuning, volume,
 * mono, seek steps over a scripted station list, stereo and RDS reception,
 * a failure plan, and the request log.
 */
#ifndef TAVOLIN_CARD_MODEL_H
#define TAVOLIN_CARD_MODEL_H

#include "../card_control.h"

#define CARD_LOG_CAPACITY 4096
#define CARD_RDS_LEVEL_MAX 1000 /* the RDS level, and what one tick may add or take */

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CardModel {
    CardScenario scenario;
    uint32_t power;
    uint32_t band;
    int32_t frequency;
    uint32_t volume;
    uint32_t mute;
    uint32_t mono;
    uint32_t noiseCancel;
    uint32_t searchLevel;
    uint32_t rdsRunning;
    uint32_t rdsLevel;
    uint32_t rdsCursor;      /* bytes of the tuned station's text handed out */
    uint32_t seekAnswerCursor; /* scripted seek answers handed out */
    uint32_t failNext;
    uint32_t failCodes[CARD_MAX_FAIL_CODES];
    uint64_t logTotal;
    CardLogEntry log[CARD_LOG_CAPACITY];
} CardModel;

/* Factory state with the built-in scenario. */
void card_model_reset(CardModel *card);
void card_model_default_scenario(CardScenario *scenario);

/* Replaces the stations and timing; returns 0 when the scenario is malformed. */
int card_model_load_scenario(CardModel *card, const CardScenario *scenario);

/* Band limits of a card band code; returns 0 for an unknown code. */
int card_model_band_limits(uint32_t band, int32_t *lowest, int32_t *highest);

/*
 * Answers one tuner request. The input is read in full before the output is
 * written, so one buffer may serve as both. Sizes are checked against the
 * request table first; nothing outside the given sizes is touched. Returns 1
 * on success with *returned set; 0 when the request is refused. Every call is
 * logged with the given time stamp and handle id.
 */
int card_model_request(CardModel *card, uint32_t code,
                       const void *input, uint32_t inputSize,
                       void *output, uint32_t outputSize,
                       uint32_t *returned, int64_t timestamp, uint32_t handleId);

/* Logs a request that never reached the model (a stale handle). */
void card_model_log(CardModel *card, uint32_t code, const void *input, uint32_t inputSize,
                    uint32_t outputSize, uint32_t returned, uint32_t success,
                    int64_t timestamp, uint32_t handleId);

/* Returns 0 when the plan could not be recorded (code 0, or a ninth code). */
int card_model_set_fail_code(CardModel *card, uint32_t code, uint32_t fail);

/* What is_stereo would answer now. */
uint32_t card_model_stereo(const CardModel *card);

/* Fills a page with log entries from sequence `first` on. */
void card_model_read_log(const CardModel *card, uint64_t first, CardLogPage *page);

#ifdef __cplusplus
}
#endif

#endif
