#!/usr/bin/python3
"""Plots harmonics.csv and response.csv written by zrv4-measure into one
picture: per channel the harmonic spectrum of a 220 Hz sine at guitar level
and the small-signal frequency response.

    channels.py DATADIR OUTPUT.png
"""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

CHANNELS = ["Clean", "Rhythm", "Lead"]
COLOURS = {"Clean": "tab:blue", "Rhythm": "tab:orange", "Lead": "tab:red"}


def read(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def main():
    data, output = sys.argv[1], sys.argv[2]
    harmonics = read(f"{data}/harmonics.csv")
    response = read(f"{data}/response.csv")

    fig, (spectrum, gain) = plt.subplots(1, 2, figsize=(13, 4.8))
    width = 0.27
    for i, name in enumerate(CHANNELS):
        rows = [r for r in harmonics if r["channel"] == name]
        h = [int(r["harmonic"]) + (i - 1) * width for r in rows]
        level = [float(r["level_dbfs"]) for r in rows]
        spectrum.bar(h, [v + 140 for v in level], width, bottom=-140, color=COLOURS[name], label=name)
        rows = [r for r in response if r["channel"] == name]
        gain.semilogx([float(r["frequency"]) for r in rows], [float(r["gain_db"]) for r in rows],
                      color=COLOURS[name], label=name)

    spectrum.set_title("Harmonics of a 220 Hz sine at -20 dBFS in")
    spectrum.set_xlabel("harmonic")
    spectrum.set_ylabel("output level, dBFS")
    spectrum.set_xticks(range(1, 21))
    spectrum.set_ylim(-140, 10)
    spectrum.grid(axis="y", alpha=0.3)
    spectrum.legend()

    gain.set_title("Small-signal frequency response (-70 dBFS in)")
    gain.set_xlabel("frequency, Hz")
    gain.set_ylabel("gain, dB")
    gain.set_xlim(20, 20000)
    gain.grid(which="both", alpha=0.3)
    gain.legend()

    fig.suptitle("ZRV4 channels at default settings, 44.1 kHz, oversampling 4x")
    fig.tight_layout()
    fig.savefig(output, dpi=100)


if __name__ == "__main__":
    main()
