/*
 * The simulated tuner card. A real card tunes, seeks step by step and
 * decodes RDS; this one does the same over a scripted list of stations so
 * that the radio can be exercised exactly as a listener would use it.
 */
#include "card_model.h"
#include "../../device/tuner_protocol.h"

#define FAILED_REQUEST 0
#define DONE_REQUEST 1

static void copy_bytes(void *to, const void *from, uint32_t count)
{
    __builtin_memcpy(to, from, count);
}

static void zero_bytes(void *to, uint32_t count)
{
    __builtin_memset(to, 0, count);
}

static uint32_t read_u32(const void *input)
{
    uint32_t value;
    copy_bytes(&value, input, 4);
    return value;
}

static uint16_t read_u16(const void *input)
{
    uint16_t value;
    copy_bytes(&value, input, 2);
    return value;
}

static void write_u32(void *output, uint32_t value)
{
    copy_bytes(output, &value, 4);
}

static uint32_t text_length(const char *text, uint32_t limit)
{
    uint32_t length = 0;
    while (length < limit && text[length])
        ++length;
    return length;
}

static void add_station(CardScenario *scenario, int32_t frequency, uint32_t stereo,
                        uint32_t rds, uint32_t strength, const char *text)
{
    CardStation *station = &scenario->stations[scenario->stationCount++];
    uint32_t length = text_length(text, CARD_STATION_TEXT - 1);
    station->frequency = frequency;
    station->stereo = stereo;
    station->rds = rds;
    station->strength = strength;
    station->bands = 0;
    station->textLength = 0;
    copy_bytes(station->text, text, length);
    station->text[length] = 0;
}

void card_model_default_scenario(CardScenario *scenario)
{
    zero_bytes(scenario, sizeof(*scenario));
    scenario->seekStep = 5;
    scenario->rdsChunk = 32;
    scenario->rdsRepeat = 1;
    scenario->rdsRise = 200;
    scenario->rdsFall = 250;
    add_station(scenario, 780, 1, 0, 3, "");
    add_station(scenario, 891, 1, 1, 3,
                "Radio Tavolin 89.1 - the morning show with traffic, weather and the best of the "
                "eighties. Call the studio on 555-0189 to ask for your favourite song. ");
    add_station(scenario, 953, 0, 0, 2, "");
    add_station(scenario, 1017, 1, 1, 3,
                "Classic FM 101.7 - Vivaldi, The Four Seasons: Spring, Allegro. "
                "Next: Mozart, Eine kleine Nachtmusik. ");
    add_station(scenario, 1053, 1, 0, 1, "");
}

void card_model_reset(CardModel *card)
{
    zero_bytes(card, sizeof(*card));
    card_model_default_scenario(&card->scenario);
    card->band = TUNER_BAND_USA;
    card->frequency = 880;
    card->volume = 71;
    card->searchLevel = 1;
}

int card_model_band_limits(uint32_t band, int32_t *lowest, int32_t *highest)
{
    *lowest = 880;
    *highest = 1080;
    switch (band) {
    case TUNER_BAND_USA: *lowest = 880; *highest = 1080; return 1;
    case TUNER_BAND_EUROPE: *lowest = 875; *highest = 1080; return 1;
    case TUNER_BAND_JAPAN: *lowest = 760; *highest = 910; return 1;
    default: return 0;
    }
}

int card_model_load_scenario(CardModel *card, const CardScenario *scenario)
{
    if (scenario->stationCount > CARD_MAX_STATIONS || scenario->seekStep <= 0 ||
        scenario->seekStep > 1000 || scenario->rdsChunk == 0 ||
        scenario->rdsChunk > TUNER_RDS_TEXT_BYTES || scenario->seekAnswerCount > CARD_MAX_SEEK_ANSWERS ||
        scenario->rdsRise > CARD_RDS_LEVEL_MAX || scenario->rdsFall > CARD_RDS_LEVEL_MAX)
        return 0;
    copy_bytes(&card->scenario, scenario, sizeof(*scenario));
    for (uint32_t i = 0; i < CARD_MAX_STATIONS; ++i) { /* texts stay inside their field */
        CardStation *station = &card->scenario.stations[i];
        station->text[CARD_STATION_TEXT - 1] = 0;
        if (station->textLength >= CARD_STATION_TEXT)
            station->textLength = CARD_STATION_TEXT - 1;
    }
    card->rdsCursor = 0;
    card->seekAnswerCursor = 0;
    return 1;
}

static int station_in_band(const CardModel *card, const CardStation *station)
{
    return station->bands == 0 || (station->bands & CARD_BAND_BIT(card->band)) != 0;
}

/* The station the card is tuned to, if any. */
static const CardStation *tuned_station(const CardModel *card)
{
    for (uint32_t i = 0; i < card->scenario.stationCount; ++i) {
        const CardStation *station = &card->scenario.stations[i];
        if (station->frequency == card->frequency && station_in_band(card, station))
            return station;
    }
    return 0;
}

uint32_t card_model_stereo(const CardModel *card)
{
    const CardStation *station = tuned_station(card);
    return card->power && !card->mono && station && station->stereo ? 1u : 0u;
}

static void tune(CardModel *card, int32_t frequency)
{
    if (frequency != card->frequency)
        card->rdsCursor = 0;
    card->frequency = frequency;
}

/*
 * One seek step: move one step in the direction, stopping early on a station
 * strong enough for the search level or at the band edge.
 */
static void seek_step(CardModel *card, int upward, TunerSeekAnswer *answer)
{
    int32_t lowest, highest;
    card_model_band_limits(card->band, &lowest, &highest);
    int32_t from = card->frequency < lowest ? lowest : card->frequency > highest ? highest : card->frequency;
    int32_t to = upward ? from + card->scenario.seekStep : from - card->scenario.seekStep;
    const CardStation *found = 0;
    for (uint32_t i = 0; i < card->scenario.stationCount; ++i) {
        const CardStation *station = &card->scenario.stations[i];
        int32_t f = station->frequency;
        int passed = upward ? (f > from && f <= to) : (f < from && f >= to);
        if (!passed || !station_in_band(card, station) || station->strength < card->searchLevel)
            continue;
        if (!found || (upward ? f < found->frequency : f > found->frequency))
            found = station;
    }
    int32_t reached;
    int32_t continues;
    if (found) {
        reached = found->frequency;
        continues = TUNER_SEEK_DONE;
    } else if (to >= highest && upward) {
        reached = highest;
        continues = TUNER_SEEK_DONE;
    } else if (to <= lowest && !upward) {
        reached = lowest;
        continues = TUNER_SEEK_DONE;
    } else {
        reached = to;
        continues = upward ? TUNER_SEEK_CONTINUE_UP : TUNER_SEEK_CONTINUE_DOWN;
    }
    tune(card, reached);
    answer->frequency = reached;
    answer->searchContinues = continues;
}

static void rds_tick(CardModel *card)
{
    const CardStation *station = tuned_station(card);
    if (card->power && card->rdsRunning && station && station->rds) {
        card->rdsLevel += card->scenario.rdsRise;
        if (card->rdsLevel > CARD_RDS_LEVEL_MAX)
            card->rdsLevel = CARD_RDS_LEVEL_MAX;
    } else {
        card->rdsLevel = card->rdsLevel > card->scenario.rdsFall ? card->rdsLevel - card->scenario.rdsFall : 0;
    }
}

/* Hands out the next piece of the tuned station's RDS text, each piece once. */
static uint32_t rds_text(CardModel *card, uint8_t *output)
{
    const CardStation *station = tuned_station(card);
    if (!card->power || !card->rdsRunning || !station || !station->rds)
        return 0;
    uint32_t length = station->textLength ? station->textLength : text_length(station->text, CARD_STATION_TEXT);
    if (length > CARD_STATION_TEXT)
        length = CARD_STATION_TEXT;
    if (card->rdsCursor >= length && card->scenario.rdsRepeat)
        card->rdsCursor = 0;
    if (card->rdsCursor >= length)
        return 0;
    uint32_t count = length - card->rdsCursor;
    if (count > card->scenario.rdsChunk)
        count = card->scenario.rdsChunk;
    copy_bytes(output, station->text + card->rdsCursor, count);
    card->rdsCursor += count;
    return count;
}

static const TunerRequestLayout *find_layout(uint32_t code)
{
    for (uint32_t i = 0; i < TUNER_REQUEST_COUNT; ++i)
        if (TunerRequestLayouts[i].code == code)
            return &TunerRequestLayouts[i];
    return 0;
}

static int fails_by_plan(CardModel *card, uint32_t code)
{
    for (uint32_t i = 0; i < CARD_MAX_FAIL_CODES; ++i)
        if (card->failCodes[i] == code)
            return 1;
    if (card->failNext) {
        --card->failNext;
        return 1;
    }
    return 0;
}

int card_model_set_fail_code(CardModel *card, uint32_t code, uint32_t fail)
{
    for (uint32_t i = 0; i < CARD_MAX_FAIL_CODES; ++i)
        if (card->failCodes[i] == code)
            card->failCodes[i] = 0;
    if (!fail)
        return 1;
    if (code == 0) /* 0 marks a free slot: it cannot be recorded */
        return 0;
    for (uint32_t i = 0; i < CARD_MAX_FAIL_CODES; ++i)
        if (card->failCodes[i] == 0) {
            card->failCodes[i] = code;
            return 1;
        }
    return 0;
}

/* Carries out a request whose sizes are already known to be right. */
static int answer(CardModel *card, uint32_t code, const uint8_t *in, uint8_t *out, uint32_t *returned)
{
    *returned = 0;
    switch (code) {
    case TUNER_POLL_CARD:
        write_u32(out, card->power);
        *returned = 4;
        return DONE_REQUEST;
    case TUNER_SET_POWER:
        card->power = read_u32(in) ? 1u : 0u;
        if (!card->power)
            card->rdsLevel = 0;
        return DONE_REQUEST;
    case TUNER_SEEK: {
        uint32_t first = read_u32(in), second = read_u32(in + 4);
        if (first != second || first > 1)
            return FAILED_REQUEST;
        TunerSeekAnswer result;
        if (card->seekAnswerCursor < card->scenario.seekAnswerCount) {
            /* A scripted answer, however wrong, goes out as it is; the card stays where it was. */
            const CardSeekAnswer *scripted = &card->scenario.seekAnswers[card->seekAnswerCursor++];
            result.frequency = scripted->frequency;
            result.searchContinues = scripted->searchContinues;
        } else if (card->power) {
            seek_step(card, first == 1, &result);
        } else {
            result.frequency = card->frequency; /* nothing received: the search ends */
            result.searchContinues = TUNER_SEEK_DONE;
        }
        copy_bytes(out, &result, sizeof(result));
        *returned = sizeof(result);
        return DONE_REQUEST;
    }
    case TUNER_SET_FREQUENCY:
        tune(card, (int32_t)read_u32(in));
        return DONE_REQUEST;
    case TUNER_SET_SEARCH_LEVEL: {
        uint16_t level = read_u16(in);
        if (level > 3)
            return FAILED_REQUEST;
        card->searchLevel = level;
        return DONE_REQUEST;
    }
    case TUNER_SET_MONO:
        card->mono = read_u32(in) ? 1u : 0u;
        return DONE_REQUEST;
    case TUNER_SET_NOISE_CANCEL:
        card->noiseCancel = read_u32(in) ? 1u : 0u;
        return DONE_REQUEST;
    case TUNER_IS_STEREO:
        write_u32(out, card_model_stereo(card));
        *returned = 4;
        return DONE_REQUEST;
    case TUNER_SET_BAND: {
        int32_t lowest, highest;
        uint16_t band = read_u16(in);
        if (!card_model_band_limits(band, &lowest, &highest))
            return FAILED_REQUEST;
        card->band = band;
        if (card->frequency < lowest)
            tune(card, lowest);
        if (card->frequency > highest)
            tune(card, highest);
        return DONE_REQUEST;
    }
    case TUNER_SET_MUTE:
        card->mute = read_u32(in) ? 1u : 0u;
        return DONE_REQUEST;
    case TUNER_SET_VOLUME:
        card->volume = read_u32(in);
        return DONE_REQUEST;
    case TUNER_START_RDS:
        card->rdsRunning = 1;
        return DONE_REQUEST;
    case TUNER_STOP_RDS:
        card->rdsRunning = 0;
        return DONE_REQUEST;
    case TUNER_READ_RDS_TEXT:
        zero_bytes(out, TUNER_RDS_TEXT_BYTES);
        *returned = rds_text(card, out);
        return DONE_REQUEST;
    case TUNER_RDS_LEVEL_TICK:
        rds_tick(card);
        write_u32(out, card->rdsLevel);
        *returned = 4;
        return DONE_REQUEST;
    default:
        return FAILED_REQUEST;
    }
}

void card_model_log(CardModel *card, uint32_t code, const void *input, uint32_t inputSize,
                    uint32_t outputSize, uint32_t returned, uint32_t success,
                    int64_t timestamp, uint32_t handleId)
{
    CardLogEntry *entry = &card->log[card->logTotal % CARD_LOG_CAPACITY];
    zero_bytes(entry, sizeof(*entry));
    entry->sequence = card->logTotal++;
    entry->timestamp = timestamp;
    entry->code = code;
    entry->inputSize = inputSize;
    entry->outputSize = outputSize;
    entry->returnedSize = returned;
    entry->success = success;
    entry->handleId = handleId;
    if (input)
        copy_bytes(entry->input, input, inputSize < CARD_LOG_INPUT_BYTES ? inputSize : CARD_LOG_INPUT_BYTES);
}

int card_model_request(CardModel *card, uint32_t code,
                       const void *input, uint32_t inputSize,
                       void *output, uint32_t outputSize,
                       uint32_t *returned, int64_t timestamp, uint32_t handleId)
{
    /* Log and copy the input first: buffered requests share one buffer for both ways. */
    uint8_t in[TUNER_RDS_TEXT_BYTES];
    card_model_log(card, code, input, input ? inputSize : 0, outputSize, 0, 0, timestamp, handleId);
    CardLogEntry *entry = &card->log[(card->logTotal - 1) % CARD_LOG_CAPACITY];
    const TunerRequestLayout *layout = find_layout(code);
    int ok = layout && layout->inputSize == inputSize && layout->outputSize == outputSize &&
             (inputSize == 0 || input) && (outputSize == 0 || output);
    *returned = 0;
    if (ok)
        copy_bytes(in, input, inputSize);
    if (ok && fails_by_plan(card, code))
        ok = 0;
    if (ok)
        ok = answer(card, code, in, (uint8_t *)output, returned);
    if (!ok)
        *returned = 0;
    entry->success = (uint32_t)ok;
    entry->returnedSize = *returned;
    return ok;
}

void card_model_read_log(const CardModel *card, uint64_t first, CardLogPage *page)
{
    zero_bytes(page, sizeof(*page));
    page->total = card->logTotal;
    page->first = card->logTotal > CARD_LOG_CAPACITY ? card->logTotal - CARD_LOG_CAPACITY : 0;
    if (first < page->first)
        first = page->first;
    while (first < card->logTotal && page->count < CARD_LOG_PAGE_ENTRIES)
        page->entries[page->count++] = card->log[first++ % CARD_LOG_CAPACITY];
}
