#!/usr/bin/python3
"""Trains the shape scorer: a small network (two layers of rectifiers) from the inputs of every
10 ms window (written by shapes_training_tool inputs) to the nine mouths, stopped early on held-out
voices, and writes it as a C++ header.
Usage: train.py TRAIN_INPUTS[,MORE] TRAIN_LABELS[,MORE] DEV_INPUTS DEV_LABELS OUT_HEADER
                HIDDEN1 HIDDEN2 EPOCHS SOURCE_NOTE"""
import os
import sys
import time

import numpy as np

SHAPES = 9


def load(inputs, labels):
    xs, ys = [], []
    for i, l in zip(inputs.split(","), labels.split(",")):
        y = np.fromfile(l, dtype=np.uint8)
        xs.append(np.fromfile(i, dtype=np.float16).reshape(len(y), -1))
        ys.append(y.astype(np.int64))
    return np.concatenate(xs), np.concatenate(ys)


def forward(params, x):
    w1, b1, w2, b2, w3, b3 = params
    h1p = x @ w1 + b1
    h1 = np.maximum(h1p, 0)
    h2p = h1 @ w2 + b2
    h2 = np.maximum(h2p, 0)
    z = h2 @ w3 + b3
    z -= z.max(axis=1, keepdims=True)
    p = np.exp(z)
    p /= p.sum(axis=1, keepdims=True)
    return h1p, h1, h2p, h2, p


def evaluate(params, x, y, mean, std):
    loss, right = 0.0, 0
    for s in range(0, len(y), 8192):
        xb = (x[s:s + 8192].astype(np.float32) - mean) / std
        p = forward(params, xb)[-1]
        yb = y[s:s + 8192]
        loss -= np.log(p[np.arange(len(yb)), yb] + 1e-9).sum()
        right += (p.argmax(axis=1) == yb).sum()
    return loss / len(y), 100.0 * right / len(y)


def main():
    (train_x, train_y, dev_x, dev_y, out_path, hidden1, hidden2, epochs,
     note) = sys.argv[1:10]
    hidden1, hidden2, epochs = int(hidden1), int(hidden2), int(epochs)
    x, y = load(train_x, train_y)
    xd, yd = load(dev_x, dev_y)
    n, d = x.shape
    print(f"{n} windows, {d} inputs, labels {np.bincount(y, minlength=SHAPES)}; "
          f"{len(yd)} held-out windows", flush=True)
    # SEED (19 unless given) draws everything random here; the spread over a few seeds says how
    # much of a model's quality is luck.
    rng = np.random.default_rng(int(os.environ.get("SEED", "19")))
    sample = x[rng.choice(n, min(n, 200000), replace=False)].astype(np.float32)
    mean = sample.mean(axis=0)
    std = sample.std(axis=0) + 1e-3

    def init(a, b, gain):
        return (rng.standard_normal((a, b)) * np.sqrt(gain / a)).astype(np.float32)

    params = [init(d, hidden1, 2.0), np.zeros(hidden1, np.float32),
              init(hidden1, hidden2, 2.0), np.zeros(hidden2, np.float32),
              init(hidden2, SHAPES, 1.0),
              np.log(np.bincount(y, minlength=SHAPES) / n + 1e-6).astype(np.float32)]
    m = [np.zeros_like(p) for p in params]
    v = [np.zeros_like(p) for p in params]
    step, batch, decay, dropout = 0, 1024, 1e-4, 0.15
    best, best_params, since = None, None, 0
    for epoch in range(epochs):
        lr = 2e-3 * (0.6 ** (epoch / 3))
        order = rng.permutation(n)
        t0 = time.time()
        for start in range(0, n, batch):
            idx = np.sort(order[start:start + batch])
            xb = (x[idx].astype(np.float32) - mean) / std
            yb = y[idx]
            w1, b1, w2, b2, w3, b3 = params
            # Dropout on the first layer: the held-out voices are not the training voices.
            keep = (rng.random((len(yb), hidden1)) >= dropout) / (1.0 - dropout)
            h1p = xb @ w1 + b1
            h1 = np.maximum(h1p, 0) * keep
            h2p = h1 @ w2 + b2
            h2 = np.maximum(h2p, 0)
            z = h2 @ w3 + b3
            z -= z.max(axis=1, keepdims=True)
            p = np.exp(z)
            p /= p.sum(axis=1, keepdims=True)
            g = p
            g[np.arange(len(yb)), yb] -= 1
            g /= len(yb)
            gw3 = h2.T @ g + decay * w3
            gb3 = g.sum(axis=0)
            gh2 = (g @ w3.T) * (h2p > 0)
            gw2 = h1.T @ gh2 + decay * w2
            gb2 = gh2.sum(axis=0)
            gh1 = (gh2 @ w2.T) * (h1p > 0) * keep
            gw1 = xb.T @ gh1 + decay * w1
            gb1 = gh1.sum(axis=0)
            step += 1
            for i, gr in enumerate([gw1, gb1, gw2, gb2, gw3, gb3]):
                m[i] = 0.9 * m[i] + 0.1 * gr
                v[i] = 0.999 * v[i] + 0.001 * gr * gr
                mh = m[i] / (1 - 0.9 ** step)
                vh = v[i] / (1 - 0.999 ** step)
                params[i] -= (lr * mh / (np.sqrt(vh) + 1e-8)).astype(np.float32)
        loss, right = evaluate(params, xd, yd, mean, std)
        print(f"epoch {epoch + 1}: held-out loss {loss:.4f}, frames right {right:.1f} %, "
              f"{time.time() - t0:.0f} s", flush=True)
        if best is None or loss < best:
            best, best_params, since = loss, [p.copy() for p in params], 0
        else:
            since += 1
            if since >= 2:
                print("held-out loss rose twice: stopping", flush=True)
                break
    w1, b1, w2, b2, w3, b3 = best_params
    # The input's normalisation folds into the first layer, so the estimator skips it.
    w1n = w1 / std[:, None]
    b1n = b1 - (mean / std) @ w1
    prior = np.log(np.bincount(y, minlength=SHAPES) / n + 1e-6)
    write_header(out_path, [w1n, b1n, w2, b2, w3, b3], prior, n, note)


def array(name, values):
    flat = np.asarray(values, dtype=np.float32).ravel()
    def literal(v):
        text = f"{v:.6g}"
        return text + ("f" if any(c in text for c in ".en") else ".0f")
    body = ",".join(literal(v) for v in flat)
    lines = []
    while body:
        cut = body.find(",", 96)
        if cut < 0:
            lines.append(body)
            break
        lines.append(body[:cut + 1])
        body = body[cut + 1:]
    return f"inline constexpr float {name}[{len(flat)}] = {{\n    " + "\n    ".join(lines) + "};\n"


def write_header(path, params, prior, windows, note):
    w1, b1, w2, b2, w3, b3 = params
    d, hidden1 = w1.shape
    with open(path, "w") as out:
        out.write("#pragma once\n")
        out.write("// clang-format off\n")
        out.write("// Generated by shapes/training/train.sh (train.py); do not edit. Trained on "
                  f"{windows} windows of\n// {note};\n// see shapes/training/README.md for how to "
                  "make it again.\n")
        out.write("namespace vokra::shape_model {\n\n")
        out.write(f"inline constexpr int kInputs = {d};\n")
        out.write(f"inline constexpr int kHidden1 = {hidden1};\n")
        out.write(f"inline constexpr int kHidden2 = {w2.shape[1]};\n")
        out.write("inline constexpr float kChangeCost = 2.0f;\n")
        out.write("inline constexpr float kPriorWeight = 0.0f;\n")
        out.write("// Each mouth's log share of the training windows, in the order A-H, X.\n")
        out.write(array("kLogPrior", prior))
        out.write("// First layer, input-major (kInputs x kHidden1), with the inputs' "
                  "normalisation in it.\n")
        out.write(array("kW1", w1))
        out.write(array("kB1", b1))
        out.write("// Second layer, input-major (kHidden1 x kHidden2).\n")
        out.write(array("kW2", w2))
        out.write(array("kB2", b2))
        out.write("// Output layer, input-major (kHidden2 x 9).\n")
        out.write(array("kW3", w3))
        out.write(array("kB3", b3))
        out.write("\n}  // namespace vokra::shape_model\n")


if __name__ == "__main__":
    main()
