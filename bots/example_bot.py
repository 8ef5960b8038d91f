#!/usr/bin/env python3
"""A minimal four-in-a-row bot: it plays the first free column from the centre out.

It reads the moderator's lines on standard input and answers on standard output. Each line it
writes goes out in one write, flushed at once, and nothing follows a move until the next line
arrives: the moderator keeps only the latest chunk of a bot's output. With --verbose it writes a
"?" note (which the moderator shows but ignores) before each move, and waits until the moderator
has read the note on its own.

Its ready line, "p openings", tells a match runner that it can start a game from an opening: the
runner then sends "opening 4453" (the moves so far, first mover first) before the "1" or "2".
"""
import sys
import time

CENTRE_OUT = [4, 3, 5, 2, 6, 1, 7]
VERBOSE = "--verbose" in sys.argv[1:]


def send(text):
    sys.stdout.write(text + "\n")  # stdout is buffered: without the flush nothing leaves
    sys.stdout.flush()


def play(heights):
    for column in CENTRE_OUT:
        if heights[column] < 6:
            heights[column] += 1
            if VERBOSE:
                send(f"?playing column {column}")
                time.sleep(0.25)  # the moderator looks every 100 ms; the move must be a later chunk
            send(str(column))
            return


def main():
    heights = None  # discs per column (index 1..7) during a game; None: waiting for "1" or "2"
    opening = ""  # the moves of an "opening" line, for the next game
    send("p openings")  # ready, and able to start from an opening
    for raw in iter(sys.stdin.buffer.readline, b""):  # b"": end of input, the moderator has gone
        line = raw.rstrip(b"\r\n").decode("latin-1")  # lines end with CR LF
        if line == "0":  # an illegal move or Reset ended the game
            heights = None
            opening = ""
            send("p openings")
        elif line in ("-1", "-2", "-3"):  # player 1 won, player 2 won, tie: may come many times
            pass
        elif heights is None:
            if line.startswith("opening "):
                opening = line[len("opening "):]
            elif line in ("1", "2"):  # a new game: "1" we are the first mover, "2" the second
                heights = [0] * 8
                for move in opening:
                    heights[int(move)] += 1
                # The first mover moves when the opening has an even number of moves.
                if (line == "1") == (len(opening) % 2 == 0):
                    play(heights)
        elif len(line) == 1 and "1" <= line <= "7" and heights[int(line)] < 6:
            heights[int(line)] += 1  # the opponent's move
            play(heights)
        # Anything else is the opponent's illegal move, relayed as it was; a "0" follows.


if __name__ == "__main__":
    try:
        main()
    except BrokenPipeError:  # the moderator closed our output
        pass
