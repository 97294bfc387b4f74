#!/usr/bin/env python3
"""Appends the software receiver's figures to the benchmark table.

  bench_receiver.py FIGURES OUTPUT

FIGURES holds sdr_bench's and radio_sdr_bench's lines "figure: KIND BUILD | field | field ...";
each kind becomes a table with one row per line. Missing figures leave a
note instead of a table; nothing here fails on a figure's value.
"""
import sys

HEADERS = {
    "receiver": ("Build", "Station", "Share of one core", "From the tune to", "Private bytes", "Counters"),
    "rds": ("Build", "Carrier to noise", "Name after", "RadioText after", "RDS level", "Wrong texts"),
    "start": ("Build", "Starts heard", "Window after", "First sound after"),
    "playing": ("Build", "Station", "The radio's share of one core", "The receiver's threads", "The window's thread",
                "The other threads (Wine's sound path)", "Above the receiver's threads"),
}
# Said under a table, when it was written.
NOTES = {
    "playing": "The radio's own work beside the receiver (its window's thread: the lamps, the RDS level and the "
               "card's polls) is the window's column. Wine's way from waveOut to the sound card is the other "
               "threads': its waveOut thread and its ALSA driver's thread each wake every 10 ms period whatever the "
               "radio sends (here into ALSA's file plugin, which also writes the file); on Windows that work is the "
               "audio engine's, in a process of its own. Times come from the threads' CPU clocks, in steps of 10 ms.",
}
TITLES = {
    "receiver": "The receiver playing the demonstration band in real time (its own two threads)",
    "rds": "RDS through the whole chain, 30 s of generated signal at each carrier-to-noise ratio",
    "start": "The radio on a local server: from the program's start to the first sound at the sound card",
    "playing": "The radio playing from the demonstration band, thread by thread (by the module each thread began in)",
}


def main():
    figures, output = sys.argv[1], sys.argv[2]
    rows = {}
    try:
        with open(figures) as lines:
            for line in lines:
                fields = [field.strip() for field in line[len("figure:"):].split("|")]
                kind, build = fields[0].split(" ", 1)
                rows.setdefault(kind, []).append([build] + fields[1:])
    except FileNotFoundError:
        pass
    text = ["", "## The software receiver", ""]
    if not rows:
        text.append("The receiver's measurement did not run.")
    for kind, title in TITLES.items():
        if kind not in rows:
            continue
        text += ["### " + title, "", "| " + " | ".join(HEADERS[kind]) + " |",
                 "|" + "---|" * len(HEADERS[kind])]
        text += ["| " + " | ".join(row) + " |" for row in rows[kind]]
        text.append("")
        if kind in NOTES:
            text += [NOTES[kind], ""]
    text += ["No side-by-side rows with GNU Radio's wideband FM receiver and gr-rds: "
             "this measurement does not run them yet (Debian's gnuradio and gr-rds packages "
             "are not among what the project installs).", ""]
    with open(output, "a") as table:
        table.write("\n".join(text) + "\n")


if __name__ == "__main__":
    main()
