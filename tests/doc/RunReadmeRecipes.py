"""Runs the README's VTK snippets (Reading the volume, Stacks) and its tiffsplit recipe as they
stand, on volumes the tool makes, and checks what they give: the binary and compressed files read
back voxel for voxel, one mesh cell per 255 voxel, a closed surface, and the volume of each page
or slice of a stack byte for byte a single run's on that slice alone.

Usage: RunReadmeRecipes.py README SLICE2VOL. Needs Debian's python3-vtk9 and libtiff-tools.
"""

import os
import re
import subprocess
import sys
import tempfile

import vtk

README, TOOL = sys.argv[1], os.path.abspath(sys.argv[2])
TEXT = open(README, encoding="utf-8").read()


def blocks(section, language):
    body = TEXT.split(f"\n## {section}\n")[1].split("\n## ")[0]
    return re.findall(rf"```{language}\n(.*?)```", body, re.S)


def image(dimensions, value):
    data = vtk.vtkImageData()
    data.SetDimensions(dimensions)
    data.AllocateScalars(vtk.VTK_UNSIGNED_CHAR, 1)
    for z in range(dimensions[2]):
        for y in range(dimensions[1]):
            for x in range(dimensions[0]):
                data.SetScalarComponentFromDouble(x, y, z, 0, value(x, y, z))
    return data


def write(writer, data, name):
    writer.SetInputData(data)
    writer.SetFileName(name)
    writer.Write()


def read(reader, name):
    reader.SetFileName(name)
    reader.Update()
    return reader.GetOutput()


def voxels(reader, name):
    volume = read(reader, name)
    scalars = volume.GetPointData().GetScalars()
    return volume.GetDimensions(), [int(scalars.GetValue(i)) for i in range(scalars.GetNumberOfTuples())]


def convert(image_name, volume_name):
    subprocess.run([TOOL, "--input2d", image_name, "--output", volume_name],
                   check=True, stdout=subprocess.DEVNULL)
    return open(volume_name, "rb").read()


os.chdir(tempfile.mkdtemp())
# A block of 5 x 4 bright pixels at the image's edge, stacked 10 times: 200 voxels of 255.
write(vtk.vtkMetaImageWriter(), image((12, 9, 1), lambda x, y, z: 200 if x < 5 and 2 <= y < 6 else 30),
      "slice.mha")
convert("slice.mha", "scan.vtk")
for snippet in blocks("Reading the volume", "python"):
    subprocess.run(["/usr/bin/python3", "-c", snippet], check=True)
expected = voxels(vtk.vtkStructuredPointsReader(), "scan.vtk")
assert expected[1].count(255) == 200, expected
assert b"\nBINARY\n" in open("scan-binary.vtk", "rb").read(200)
assert voxels(vtk.vtkStructuredPointsReader(), "scan-binary.vtk") == expected
assert b"vtkZLibDataCompressor" in open("scan.vti", "rb").read(1000)
assert voxels(vtk.vtkXMLImageDataReader(), "scan.vti") == expected
mesh = read(vtk.vtkXMLUnstructuredGridReader(), "scan-mesh.vtu")
assert mesh.GetNumberOfCells() == 200 and mesh.IsHomogeneous() and mesh.GetCellType(0) == vtk.VTK_VOXEL
edges = vtk.vtkFeatureEdges()
edges.SetInputData(read(vtk.vtkSTLReader(), "scan.stl"))
edges.FeatureEdgesOff()
edges.ManifoldEdgesOff()
edges.Update()
assert edges.GetInput().GetNumberOfPolys() > 0 and edges.GetOutput().GetNumberOfCells() == 0

# A stack of three different slices, as a multi-page TIFF and as a 3D MetaImage.
stack = image((12, 9, 3), lambda x, y, z: 200 if (x + 2 * z) % 5 < 2 else 30)
write(vtk.vtkTIFFWriter(), stack, "stack.tif")
write(vtk.vtkMetaImageWriter(), stack, "stack.mha")
os.mkdir("bin")
os.symlink(TOOL, "bin/slice2vol")
path = f"{os.getcwd()}/bin:{os.environ['PATH']}"
subprocess.run(["sh", "-c", blocks("Stacks", "sh")[0]], check=True, env={**os.environ, "PATH": path})
subprocess.run(["/usr/bin/python3", "-c", blocks("Stacks", "python")[0]], check=True)
for k, page in enumerate(("aaa", "aab", "aac")):
    alone = vtk.vtkExtractVOI()
    alone.SetInputData(stack)
    alone.SetVOI(0, 11, 0, 8, k, k)
    alone.Update()
    write(vtk.vtkTIFFWriter(), alone.GetOutput(), f"alone-{k}.tif")
    single = convert(f"alone-{k}.tif", "alone.vtk")
    assert open(f"page-{page}.vtk", "rb").read() == single, page
    assert convert(f"slice-{k:04d}.mha", "slice.vtk") == single, k
