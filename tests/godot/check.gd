# Loads the imported building.glb and prints its scene tree, one node a line: depth, class, name,
# and a collision shape's class. Quits with 1 when the file was not imported.
extends SceneTree

func _print_tree(node, depth):
	var line = str(depth) + " " + node.get_class() + " " + node.name
	if node is CollisionShape and node.shape != null:
		line += " " + node.shape.get_class()
	print(line)
	for child in node.get_children():
		_print_tree(child, depth + 1)

func _init():
	var scene = load("res://building.glb")
	if scene == null:
		print("building.glb was not imported")
		quit(1)
		return
	_print_tree(scene.instance(), 0)
	quit(0)
