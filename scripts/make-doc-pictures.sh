#!/usr/bin/env bash
# Remakes the README's picture from the tool's real output: the bundled sample image
# (doc/sample.png) beside the first layer of the volume the tool makes of it
# (doc/sample-layer.png), both enlarged four times. Needs the built tool (scripts/demo.sh) and
# VTK's Python module (python3-vtk9, which scripts/test.sh installs).
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/slice2vol --input2d examples/sample.png --output "$work/sample.vtk" --depth 3 > /dev/null

/usr/bin/python3 - examples/sample.png "$work/sample.vtk" doc <<'PYTHON'
import sys

import vtk

sample, volume, folder = sys.argv[1:]


def write_enlarged(source, path):
    magnify = vtk.vtkImageMagnify()
    magnify.SetInputConnection(source.GetOutputPort())
    magnify.SetMagnificationFactors(4, 4, 1)
    magnify.InterpolateOff()
    writer = vtk.vtkPNGWriter()
    writer.SetInputConnection(magnify.GetOutputPort())
    writer.SetFileName(path)
    writer.Write()


image = vtk.vtkPNGReader()
image.SetFileName(sample)
write_enlarged(image, f"{folder}/sample.png")

reader = vtk.vtkStructuredPointsReader()
reader.SetFileName(volume)
reader.Update()
width, height, _ = reader.GetOutput().GetDimensions()
layer = vtk.vtkExtractVOI()
layer.SetInputConnection(reader.GetOutputPort())
layer.SetVOI(0, width - 1, 0, height - 1, 0, 0)
# The tool counts rows from the top of the image, VTK from the bottom.
flip = vtk.vtkImageFlip()
flip.SetInputConnection(layer.GetOutputPort())
flip.SetFilteredAxis(1)
write_enlarged(flip, f"{folder}/sample-layer.png")
PYTHON
echo "Wrote doc/sample.png and doc/sample-layer.png"
